#pragma once

namespace zarvex {
class TForm1;
namespace link {
class TPanelConnection;
}

// Gives the window's device buttons, timer and start-up step to the device
// link, and shows the controller's device-change failure in a message box.
void ConnectDeviceLink(TForm1& form, link::TPanelConnection& connection);

}  // namespace zarvex
