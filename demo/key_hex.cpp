#include "demo/key_hex.h"

namespace zarvex::demo {

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsSeparator(char c) { return c == '-' || c == ':' || c == ' ' || c == '\t'; }

}  // namespace

std::string KeyHex(const sim::KeyBytes& key) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (std::size_t i = 0; i < key.size(); ++i) {
    if (i > 0) text += '-';
    text += kDigits[key[i] >> 4];
    text += kDigits[key[i] & 0x0F];
  }
  return text;
}

std::optional<sim::KeyBytes> ParseKeyHex(const std::string& text) {
  sim::KeyBytes key{};
  std::size_t digits = 0;
  for (char c : text) {
    if (IsSeparator(c)) continue;
    const int value = HexDigit(c);
    if (value < 0 || digits == 2 * key.size()) return std::nullopt;
    auto& byte = key[digits / 2];
    byte = static_cast<uint8_t>(digits % 2 == 0 ? value << 4 : byte | value);
    ++digits;
  }
  if (digits != 2 * key.size()) return std::nullopt;
  return key;
}

}  // namespace zarvex::demo
