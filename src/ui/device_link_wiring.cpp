#include "ui/device_link_wiring.h"

#include "link/panel_connection.h"
#include "ui/tform1.h"

namespace zarvex {

void ConnectDeviceLink(TForm1& form, link::TPanelConnection& connection) {
  protocol::DeviceLink& link = connection.Link();
  DeviceHandlers& h = form.Handlers();
  h.StartUp = [&link] { link.StartupInit(); };
  h.ButtonReadClick = [&link] { link.ButtonReadClick(); };
  h.ButtonWriteClick = [&link] { link.ButtonWriteClick(); };
  h.ButtonWriteKeysClick = [&] { link.ButtonWriteKeysClick(form.EditLabMinText(), form.EditLabMaxText()); };
  h.ButtonDelKeysClick = [&] { link.ButtonDelKeysClick(form.EditLabMinText(), form.EditLabMaxText()); };
  h.ButtonDelAllKeysClick = [&link] { link.ButtonDelAllKeysClick(); };
  h.ButtonReadKeysClick = [&link] { link.ButtonReadKeysClick(); };
  h.ButtonWriteTrinketClick = [&] { link.ButtonWriteTrinketClick(form.EditTrinketText()); };
  h.ButtonDelTrinketClick = [&] { link.ButtonDelTrinketClick(form.EditTrinketText()); };
  h.ButtonDelAllTrinketClick = [&link] { link.ButtonDelAllTrinketClick(); };
  h.ButtonWriteSensorClick = [&] {
    link.ButtonWriteSensorClick(form.EditSensorText(), form.RBSens3Checked());
  };
  h.ButtonDelSensorClick = [&] {
    link.ButtonDelSensorClick(form.EditSensorText(), form.RBSens3Checked());
  };
  h.ButtonDelAllSensorClick = [&link] { link.ButtonDelAllSensorClick(); };
  h.ButtonReadWireLessClick = [&link] { link.ButtonReadWireLessClick(); };
  h.TimerTimer = [&link] { link.TimerTimer(); };
  connection.Controller().SetOnChangeFailure(
      [&form](const char* message) { form.ShowMessage(message); });
}

}  // namespace zarvex
