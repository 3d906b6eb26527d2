#include "settings/settings_file.h"

#include <utility>

#include "settings/settings_format.h"
#include "settings/whole_file.h"

namespace zarvex {

void SaveSettingsFile(const std::string& fileName, const TCFG& cfg, FileOps& ops) {
  ReplaceWholeFile(fileName, FormatSettings(cfg), ops);
}

void LoadSettingsFile(const std::string& fileName, TCFG& cfg, FileOps& ops) {
  const std::string contents = ReadWholeFile(fileName, kMaxSettingsFileSize, ops);
  TCFG loaded = cfg;
  ParseSettings(contents, loaded);
  cfg = std::move(loaded);
}

}  // namespace zarvex
