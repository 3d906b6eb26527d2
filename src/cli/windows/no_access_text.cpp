#include "cli/panel_session.h"

namespace zarvex::cli {

std::string NoAccessText(const std::string& path) {
  return "Нет доступа к устройству " + path + ".\n" + protocol::NoAccessHint();
}

}  // namespace zarvex::cli
