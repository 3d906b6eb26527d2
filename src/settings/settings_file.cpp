#include "settings/settings_file.h"

#include <utility>

#include "settings/russian_plural.h"
#include "settings/settings_format.h"
#include "settings/whole_file.h"

namespace zarvex {

void SaveSettingsFile(const std::string& fileName, const TCFG& cfg, FileOps& ops) {
  ReplaceWholeFile(fileName, FormatSettings(cfg), ops);
}

int LoadSettingsFile(const std::string& fileName, TCFG& cfg, FileOps& ops) {
  const std::string contents = ReadWholeFile(fileName, kMaxSettingsFileSize, ops);
  TCFG loaded = cfg;
  ParseSettings(contents, loaded);
  cfg = std::move(loaded);
  return CountSettingsLines(contents);
}

std::string ShortFileWarning(int lines) {
  if (lines >= kSettingsFileLines) return {};
  return "В файле " + Counted(lines, "строка", "строки", "строк") + " из " +
         std::to_string(kSettingsFileLines) + ": недостающие значения взяты пустыми";
}

}  // namespace zarvex
