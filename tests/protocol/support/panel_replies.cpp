#include "panel_replies.h"

#include <algorithm>

namespace zarvex::protocol::testing {

namespace {
Report Header(uint8_t kind, uint8_t code) {
  Report r(64, 0);
  r[0] = 0xDC;
  r[1] = 0xEE;
  r[2] = kind;
  r[3] = code;
  return r;
}
}  // namespace

// Report index k holds byte k + 1 of the frame.
Report ValueNumber(uint8_t code, int32_t value) {
  Report r = Header(0, code);
  const auto u = static_cast<uint32_t>(value);
  for (size_t k = 0; k < 4; ++k) r[5 + k] = static_cast<uint8_t>(u >> (24 - 8 * k));
  return r;
}

Report ValueText(uint8_t code, const std::string& text) {
  Report r = ValueBytes(code, text);
  r[4] = static_cast<uint8_t>(text.size());
  return r;
}

Report ValueBytes(uint8_t code, const std::string& bytesFromSix) {
  Report r = Header(0, code);
  for (size_t k = 0; k < bytesFromSix.size() && 5 + k < r.size(); ++k) {
    r[5 + k] = static_cast<uint8_t>(bytesFromSix[k]);
  }
  return r;
}

Report Ack(uint8_t code) { return {0xDC, 0xEE, 0x01, code}; }

Report KeyRecord(int position, const std::array<uint8_t, 8>& key) {
  Report r = Header(0, 237);
  r[4] = static_cast<uint8_t>(position >> 8);
  r[5] = static_cast<uint8_t>(position);
  std::copy(key.begin(), key.end(), r.begin() + 6);
  return r;
}

Report KeyListEnd() { return Header(0, 236); }
Report CodeSaved() { return Header(0, 203); }

}  // namespace zarvex::protocol::testing
