#include "demo/panel_snapshot.h"

namespace zarvex::demo {

PanelSnapshot TakeSnapshot(sim::VirtualPanel& panel) {
  PanelSnapshot s;
  // The model's part under one lock, so that it is one moment of the panel.
  panel.WithModel([&](sim::PanelModel& m) {
    s.kind = m.Kind();
    s.deviceType = m.DeviceType();
    s.firmwareVersion = m.FirmwareVersion();
    s.configuration = m.Configuration();
    s.keys = m.Keys().Stored();
    s.learningKeys = m.Keys().Learning();
    s.wirelessPresence = m.Wireless().PresenceText();
    s.pendingPairing = m.Wireless().PendingPairing();
    s.receivedReports = m.ReceivedReports().size();
  });
  s.plugged = panel.IsPlugged();
  return s;
}

}  // namespace zarvex::demo
