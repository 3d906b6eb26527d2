#include "cli/panel_session.h"

namespace zarvex::cli {

std::string NoAccessText(const std::string& path) {
  return "Нет доступа к устройству " + path +
         ".\nУстановите правило udev (его ставит пакет zarvex-settings):\n"
         "  sudo install -m 644 packaging/linux/70-zarvex-panel.rules /etc/udev/rules.d/\n"
         "  sudo udevadm control --reload && sudo udevadm trigger\n"
         "и подключите панель заново.";
}

}  // namespace zarvex::cli
