#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "protocol/device_bus.h"
#include "protocol/panel_view.h"
#include "protocol/report_frame.h"
#include "settings/tcfg.h"

namespace zarvex::protocol {

// The transfer counters of the link. States: 0 idle, 1 due at the next tick,
// 2 answer awaited. A ReadStep above 56 (or 0 after a write click) means no
// read is running.
struct LinkState {
  int32_t ReadState = 0;
  int32_t ReadStep = 200;
  int32_t WriteState = 0;
  int32_t WriteStep = 0;
  int32_t TypeQueryCountdown = 0;
  int32_t VersionQueryCountdown = 0;

  bool RequestPending() const {
    return TypeQueryCountdown > 0 || VersionQueryCountdown > 0 || ReadState == 1 || WriteState == 1;
  }
};

// What the parts of the link share: the record, the window, the two frames,
// the counters and the held panel. Everything runs on the main thread.
struct LinkContext {
  LinkContext(TCFG& settings, PanelView& window) : cfg(settings), view(window) {}

  TCFG& cfg;
  PanelView& view;
  OutReport out;
  InReport in;
  LinkState state;
  std::unique_ptr<PanelPort> panel;
  // Told of every report actually handed to the panel, with its length.
  std::function<void(int length)> afterSend;

  // Sends OutReport to the held panel in the panel's own report length,
  // asked at every send: a longer report is padded with zeros, a shorter one
  // gets the bytes that fit. Nothing is sent while no panel is held; the
  // outcome of the write is not examined.
  void SendOutReport();
};

}  // namespace zarvex::protocol
