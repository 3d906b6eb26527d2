#include "cli/windows/command_line.h"

#include <windows.h>
#include <shellapi.h>

#include "windows/utf16.h"

namespace zarvex::cli {

std::vector<std::string> ArgumentsOfCommandLine(const wchar_t* commandLine, std::string& error) {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(commandLine, &count);
  if (!wide) {
    error = "Не удалось разобрать командную строку";
    return {};
  }
  std::vector<std::string> arguments;
  for (int i = 1; i < count; ++i) {
    std::string utf8;
    if (!windows::TryUtf8(wide[i], utf8)) {
      error = "Аргумент " + std::to_string(i) + " не является текстом Юникода";
      arguments.clear();
      break;
    }
    arguments.push_back(std::move(utf8));
  }
  LocalFree(wide);
  return arguments;
}

}  // namespace zarvex::cli
