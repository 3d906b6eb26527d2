#include "protocol/panel_identity.h"

namespace zarvex::protocol {

std::string NoAccessHint() {
  return "Windows не дал открыть панель: её открыла без общего доступа другая программа. "
         "Закройте программы, работающие с устройствами USB, и переподключите устройство.";
}

}  // namespace zarvex::protocol
