#pragma once

#include <string>

#include "report/settings_compare.h"
#include "settings/json_text.h"
#include "settings/tcfg.h"

namespace zarvex::cli {

// Panel bytes (Windows-1251) as UTF-8 for the terminal.
std::string Utf8(const Text& panelText);

using zarvex::JsonString;

// A text from elsewhere (a server, a file) for one field of one line: line
// breaks, tabs and other control characters as escapes (\n, \t, \xHH), a
// backslash doubled, so no value can print a line or a column of its own.
std::string Printable(const std::string& text);

// The record page by page in the window's words: "label: value (code)".
std::string SettingsTable(const TCFG& cfg);
std::string SettingsJson(const TCFG& cfg);

// The differences as the window's compare dialog words them, with the count.
std::string ComparisonText(const report::Comparison& comparison);
std::string ComparisonJson(const report::Comparison& comparison);

// One line of progress: a bar for a terminal, else the text alone. A
// terminal that does not understand "\033[K" gets the line padded instead.
std::string ProgressLine(const std::string& text, bool terminal, bool erasesLines = true);

}  // namespace zarvex::cli
