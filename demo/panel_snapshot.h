#pragma once
// Everything the simulator window shows about the simulated panel, copied
// out in one go so that the window can tell whether anything changed.

#include <cstddef>
#include <map>
#include <optional>
#include <string>

#include "sim/virtual_panel.h"

namespace zarvex::demo {

struct PanelSnapshot {
  bool plugged = false;
  std::optional<sim::PanelKind> kind;  // none before the first plug
  int deviceType = 0;
  int firmwareVersion = 0;
  sim::PanelConfiguration configuration;
  std::map<int, sim::KeyBytes> keys;
  bool learningKeys = false;
  std::string wirelessPresence;
  std::optional<int> pendingPairing;
  std::size_t receivedReports = 0;

  bool operator==(const PanelSnapshot&) const = default;
};

PanelSnapshot TakeSnapshot(sim::VirtualPanel& panel);

}  // namespace zarvex::demo
