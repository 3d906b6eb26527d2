#include "cli/cli_help.h"

#include <utility>
#include <vector>

namespace zarvex::cli {

namespace {
const char* const kExitCodes =
    "Коды выхода:\n"
    "  0  успешно\n"
    "  1  ошибка панели (передача прервана, команда не для этой модели)\n"
    "  2  неверный вызов (или несколько панелей без --device)\n"
    "  3  панель не найдена\n"
    "  4  нет доступа к устройству\n"
    "  5  панель не отвечает\n"
    "  6  несовпадение (write --verify, diff)\n"
    "  7  ошибка файла\n"
    "  130  прервано (Ctrl+C или SIGTERM); прерванная запись названа прерванной\n";

const std::vector<std::pair<std::string, std::string>> kCommands = {
    {"list",
     "zarvex-cli list [--json]\n"
     "Панели, подключённые сейчас: узел, изделие, модель, версия прошивки и доступ\n"
     "(чтение и запись или только запрос).\n"},
    {"read",
     "zarvex-cli read [-o ФАЙЛ] [--device УЗЕЛ] [--json]\n"
     "Читает всю конфигурацию панели (56 параметров). Без -o выводит таблицу\n"
     "в единицах окна; с -o записывает файл настроек (61 строка, как zarvex.cfg).\n"},
    {"write",
     "zarvex-cli write ФАЙЛ [--verify] [--device УЗЕЛ]\n"
     "Записывает в панель конфигурацию из файла настроек. Поля без элемента окна\n"
     "получают те же значения, что и при записи из окна; параметр 55 выбирается\n"
     "по версии прошивки подключённой панели. С --verify затем читает панель\n"
     "и сравнивает все параметры; различия выводятся, код выхода 6.\n"},
    {"diff",
     "zarvex-cli diff ФАЙЛ [--device УЗЕЛ] [--json]\n"
     "Читает панель и выводит, чем она отличается от файла (панель → файл).\n"
     "Код выхода 6, если различия есть.\n"},
    {"show",
     "zarvex-cli show ФАЙЛ [--json]\n"
     "Файл настроек в виде таблицы в единицах окна. Панель не нужна.\n"},
    {"keys",
     "zarvex-cli keys list|add MIN MAX|delete MIN MAX|delete-all [--device УЗЕЛ] [--json]\n"
     "Ключи считывателя панелей первой модели (прошивка ниже 500), позиции 1..1000.\n"
     "list выводит позицию, ключ и отметку дубля; add ждёт ключи для позиций MIN..MAX.\n"},
    {"wireless",
     "zarvex-cli wireless list|pair-fob N|delete-fob N|delete-fobs|pair-sensor 3|4 N|\n"
     "                    delete-sensor 3|4 N|delete-sensors [--device УЗЕЛ] [--json]\n"
     "Беспроводные брелоки и датчики панелей второй модели; N от 1 до 10, датчик\n"
     "на шлейфе 3 или 4. pair-fob требует прошивку выше 500 и ждёт до 60 с,\n"
     "пока брелок ответит.\n"},
    {"provision",
     "zarvex-cli provision ФАЙЛ [--verify] [--log ФАЙЛ] [--panels N]\n"
     "Ждёт панели одну за другой и записывает (и проверяет) каждую новую, выводя\n"
     "строку на панель: время, узел, модель, версия, результат. Работает до Ctrl+C\n"
     "или до N панелей. Панель с ошибкой отмечается, работа продолжается.\n"
     "Ctrl+C во время записи прерывает её: панель отмечается как прерванная.\n"},
};
}  // namespace

std::string ProgramHelp() {
  std::string help =
      "zarvex-cli — чтение, запись, проверка и подготовка панелей Zarvex GSM.\n\n"
      "Вызов: zarvex-cli [--device /dev/hidrawN] [--json] КОМАНДА [АРГУМЕНТЫ]\n\n"
      "Команды:\n";
  for (const auto& [name, text] : kCommands) {
    help += "  " + text.substr(11, text.find('\n') - 11) + "\n";
  }
  help +=
      "\nzarvex-cli КОМАНДА --help — подробно о команде.\n"
      "Если подключено несколько панелей, --device выбирает одну.\n\n";
  return help + kExitCodes;
}

std::string CommandHelp(const std::string& command) {
  for (const auto& [name, text] : kCommands) {
    if (name == command) return text + "\n" + kExitCodes;
  }
  return {};
}

}  // namespace zarvex::cli
