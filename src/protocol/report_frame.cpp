#include "protocol/report_frame.h"

#include <algorithm>

#include "protocol/protocol_codes.h"

namespace zarvex::protocol {

void OutReport::PutHeader(uint8_t messageClass, uint8_t code) {
  bytes_[1] = kFrameMark;
  bytes_[2] = kToPanel;
  bytes_[3] = messageClass;
  bytes_[4] = code;
}

void OutReport::PutNumber(int32_t value) {
  bytes_[5] = kTypeNumber;
  bytes_[6] = 4;
  bytes_[7] = 0;
  bytes_[8] = 0;
  // C++ division truncates toward zero, which is the panel's rule; the casts
  // keep the low 8 bits, so -1 gives 0x00 0xFF.
  bytes_[9] = static_cast<uint8_t>(value / 256);
  bytes_[10] = static_cast<uint8_t>(value % 256);
}

void OutReport::PutText(const std::string& text) {
  const int length = std::min<int>(static_cast<int>(text.size()), kMaxText);
  bytes_[5] = kTypeText;
  bytes_[6] = static_cast<uint8_t>(length);
  std::copy_n(text.begin(), length, bytes_.begin() + 7);
}

int InReport::Store(const uint8_t* data, int size) {
  if (data == nullptr || size <= 0) return 0;
  const int count = std::min(size, kLast);
  std::copy_n(data, count, bytes_.begin() + 1);
  return count;
}

int32_t InReport::GetNumber() const {
  const uint32_t value = (uint32_t{bytes_[6]} << 24) | (uint32_t{bytes_[7]} << 16) |
                         (uint32_t{bytes_[8]} << 8) | uint32_t{bytes_[9]};
  return static_cast<int32_t>(value);  // modular in C++20
}

std::string InReport::GetText() const {
  const int length = std::min<int>(bytes_[5], kLast - 5);
  return std::string(bytes_.begin() + 6, bytes_.begin() + 6 + length);
}

}  // namespace zarvex::protocol
