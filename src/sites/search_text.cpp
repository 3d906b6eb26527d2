#include "sites/search_text.h"

#include <cctype>

namespace zarvex::sites {

std::string FoldForSearch(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      out += static_cast<char>(std::tolower(c));
      continue;
    }
    if (i + 1 < s.size()) {
      const auto d = static_cast<unsigned char>(s[i + 1]);
      // Two-byte Cyrillic: U+0400..U+04FF is D0 80..D3 BF.
      if (c == 0xD0 && d >= 0x90 && d <= 0x9F) {  // А..П → а..п
        out += '\xD0';
        out += static_cast<char>(d + 0x20);
        ++i;
        continue;
      }
      if (c == 0xD0 && d >= 0xA0 && d <= 0xAF) {  // Р..Я → р..я
        out += '\xD1';
        out += static_cast<char>(d - 0x20);
        ++i;
        continue;
      }
      if ((c == 0xD0 && d == 0x81) || (c == 0xD1 && d == 0x91)) {  // Ё, ё → е
        out += "\xD0\xB5";
        ++i;
        continue;
      }
    }
    out += static_cast<char>(c);
  }
  return out;
}

std::string PhoneDigits(const std::string& text) {
  std::string digits;
  for (char c : text) {
    if (c >= '0' && c <= '9') digits += c;
  }
  return digits;
}

}  // namespace zarvex::sites
