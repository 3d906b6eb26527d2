#include "protocol/panel_identity.h"

namespace zarvex::protocol {

bool IsPanelProductString(const std::string& productString) {
  const std::string product = kPanelProductName;
  return productString == product || productString == "Zarvex " + product;
}

std::string PanelBusyHint() {
  return "Панель занята другой программой (ещё одним окном «Настройка Zarvex» или zarvex-cli): "
         "закройте её и переподключите устройство.";
}

}  // namespace zarvex::protocol
