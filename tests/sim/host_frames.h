#pragma once
// The host's side, written out byte by byte for the simulator tests, so that
// they check the panel's framing against an independent reading of it.

#include <cstdint>
#include <string>
#include <vector>

namespace zarvex::sim::test {

using Bytes = std::vector<uint8_t>;

// Report ID 1, the host's mark, then class, code, value type and length.
inline Bytes HostFrame(uint8_t kind, uint8_t code, uint8_t type, uint8_t length) {
  Bytes r{1, 0xDC, 0xED, kind, code, type, length};
  r.resize(65);
  return r;
}

inline Bytes HostQuery(uint8_t code) { return HostFrame(0x20, code, 3, 4); }

inline Bytes HostWriteNumber(uint8_t code, uint32_t value) {
  Bytes r = HostFrame(0x10, code, 3, 4);
  for (int i = 0; i < 4; ++i) r[7 + i] = uint8_t(value >> (24 - 8 * i));
  return r;
}

inline Bytes HostWriteText(uint8_t code, const std::string& text) {
  Bytes r = HostFrame(0x10, code, 4, uint8_t(text.size()));
  for (std::size_t i = 0; i < text.size() && 7 + i < r.size(); ++i) r[7 + i] = uint8_t(text[i]);
  return r;
}

inline Bytes HostKeyList() { return HostFrame(0x10, 0xE8, 3, 4); }

struct Reply {
  bool wellFormed = false;  // 65 bytes, report ID 1, 0xDC 0xEE
  int kind = -1;
  int code = -1;
  int32_t number = 0;
  std::string text;
};

inline Reply Decode(const Bytes& r) {
  Reply d;
  d.wellFormed = r.size() == 65 && r[0] == 1 && r[1] == 0xDC && r[2] == 0xEE;
  if (r.size() < 10) return d;
  d.kind = r[3];
  d.code = r[4];
  d.number = int32_t(uint32_t(r[6]) << 24 | uint32_t(r[7]) << 16 | uint32_t(r[8]) << 8 | uint32_t(r[9]));
  for (int i = 0; i < r[5] && 6 + i < int(r.size()); ++i) d.text += char(r[6 + i]);
  return d;
}

}  // namespace zarvex::sim::test
