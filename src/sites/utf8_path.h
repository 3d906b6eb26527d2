#pragma once

#include <filesystem>
#include <string>

namespace zarvex::sites {

// Paths are UTF-8 text everywhere in the program; std::filesystem takes
// them so on every system only through u8string.
inline std::filesystem::path PathOf(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}
inline std::string Utf8Of(const std::filesystem::path& p) {
  const std::u8string text = p.u8string();
  return std::string(text.begin(), text.end());
}

}  // namespace zarvex::sites
