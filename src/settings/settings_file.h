#pragma once

#include <cstddef>
#include <string>

#include "settings/file_ops.h"
#include "settings/settings_file_error.h"
#include "settings/tcfg.h"

namespace zarvex {

// A real settings file is under 2 KiB; anything above this is a wrong pick.
inline constexpr size_t kMaxSettingsFileSize = 1024 * 1024;

// Writes `cfg` to the file as its 61 lines. The old file is replaced only once
// every line is on disk; on failure it stays as it was. Throws
// SettingsFileError with the platform's text.
void SaveSettingsFile(const std::string& fileName, const TCFG& cfg,
                      FileOps& ops = SystemFileOps());

// Fills `cfg` from the file and returns how many lines it had (fewer than
// kSettingsFileLines: the rest read as empty). On any failure `cfg` is left
// exactly as it was; files over kMaxSettingsFileSize are refused before
// anything is parsed. Throws SettingsFileError with the platform's text or
// kFileTooLargeText.
int LoadSettingsFile(const std::string& fileName, TCFG& cfg, FileOps& ops = SystemFileOps());

// "В файле 12 строк из 61: недостающие значения взяты пустыми" (UTF-8), or
// empty when the file had every line.
std::string ShortFileWarning(int lines);

}  // namespace zarvex
