#pragma once

#include <string>
#include <string_view>

#include "settings/tcfg.h"

namespace zarvex {

// Number of lines of a settings file.
inline constexpr int kSettingsFileLines = 61;

// The 61 lines of the settings file for `cfg`, each ending in CR LF. A CR or
// LF inside a text value is written as a blank, so the file always keeps its
// 61 lines and loads back.
std::string FormatSettings(const TCFG& cfg);

// Sets every field that the file holds from `contents`, in the file's order,
// rebuilding the event slots from the two mask lines. Missing lines read as
// empty. Fields the file does not hold (the unused eighth entries of the
// grouped arrays) are left as they are. Cannot fail.
void ParseSettings(std::string_view contents, TCFG& cfg);

// How many lines the contents hold; a last line without its line end counts.
int CountSettingsLines(std::string_view contents);

}  // namespace zarvex
