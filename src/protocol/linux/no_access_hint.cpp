#include "protocol/panel_identity.h"

namespace zarvex::protocol {

std::string NoAccessHint() {
  return "Установите правило udev из packaging/linux и переподключите устройство.";
}

}  // namespace zarvex::protocol
