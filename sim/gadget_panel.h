#pragma once
// The simulated panel behind a USB HID gadget (Linux usb_f_hid): it reads
// each output report the host sends from /dev/hidgN, report ID first, lets
// the panel model answer, and writes the answers back as input reports.
// Before the gadget is unbound, Detach closes the node: the kernel's gadget
// HID function must not be unbound or rebound under an open file.

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "sim/panel_model.h"

namespace zarvex::sim {

class GadgetPanel {
 public:
  explicit GadgetPanel(std::string hidgPath);
  ~GadgetPanel();  // stops serving
  GadgetPanel(const GadgetPanel&) = delete;
  GadgetPanel& operator=(const GadgetPanel&) = delete;

  // A new panel in the socket, with factory values.
  void Plug(PanelKind kind, int firmwareVersion);
  // Runs `action` on the model under the lock (set values, arm faults).
  void WithModel(const std::function<void(PanelModel&)>& action);
  // Closes the node and keeps it closed until Attach; returns once closed.
  void Detach();
  void Attach();
  // Sends a report the host did not ask for (report ID first).
  bool Send(const Report& report);
  // When each of the last answers was written, for latency figures.
  std::vector<std::chrono::steady_clock::time_point> WriteTimes() const;

 private:
  void Serve();
  int OpenNode();

  std::string path_;
  mutable std::mutex mutex_;
  std::optional<PanelModel> model_;
  std::vector<std::chrono::steady_clock::time_point> writeTimes_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> detached_{false};
  std::atomic<int> fd_{-1};
  std::mutex writeMutex_;
  std::thread thread_;
};

}  // namespace zarvex::sim
