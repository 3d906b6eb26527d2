#pragma once
// Reader keys as a person types and reads them: eight bytes as hex pairs.

#include <optional>
#include <string>

#include "sim/panel_frame.h"

namespace zarvex::demo {

// "01-A2-..." : upper-case pairs joined by "-", as the main window lists keys.
std::string KeyHex(const sim::KeyBytes& key);

// Exactly 16 hex digits, either case; '-', ':' and blanks between them are
// skipped. Anything else (another digit count, other characters) is no key.
std::optional<sim::KeyBytes> ParseKeyHex(const std::string& text);

}  // namespace zarvex::demo
