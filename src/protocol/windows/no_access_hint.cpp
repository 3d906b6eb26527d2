#include "protocol/panel_identity.h"

namespace zarvex::protocol {

std::string NoAccessHint() {
  return "Панель занята другой программой (например, ещё одним окном «Настройка Zarvex» или "
         "zarvex-cli): закройте её и переподключите устройство.";
}

}  // namespace zarvex::protocol
