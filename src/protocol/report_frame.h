#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace zarvex::protocol {

// The one output report buffer. It is never cleared: every message sets only
// its own bytes and the rest keep what earlier messages left (the panel
// relies on nothing else, and queries carry the leftovers in bytes 7 on).
class OutReport {
 public:
  static constexpr int kSize = 65;    // byte 0 is the report ID
  static constexpr int kMaxText = 58;

  uint8_t& operator[](int index) { return bytes_.at(static_cast<size_t>(index)); }
  uint8_t operator[](int index) const { return bytes_.at(static_cast<size_t>(index)); }
  const std::array<uint8_t, kSize>& Bytes() const { return bytes_; }

  // Bytes 1..4: frame mark, direction, message class and code.
  void PutHeader(uint8_t messageClass, uint8_t code);
  // Bytes 5..10: type 3, length 4, 0, 0, then value / 256 and value % 256
  // (truncated toward zero, low 8 bits of each); bits above 15 are not sent.
  void PutNumber(int32_t value);
  // Bytes 5..6+n: type 4, n = min(length, 58), then the first n bytes.
  void PutText(const std::string& text);

 private:
  std::array<uint8_t, kSize> bytes_{};
};

// Copy of the last input report after its report ID, numbered 1..64; bytes
// beyond the last report's length keep those of earlier reports.
class InReport {
 public:
  static constexpr int kLast = 64;

  uint8_t operator[](int index) const { return bytes_.at(static_cast<size_t>(index)); }
  // Copies at most 64 bytes to positions 1.. and returns how many it took.
  int Store(const uint8_t* data, int size);
  // For tests and the simulator's peers: set one byte directly.
  void Set(int index, uint8_t value) { bytes_.at(static_cast<size_t>(index)) = value; }

  // Bytes 6..9 big-endian as a signed 32-bit value.
  int32_t GetNumber() const;
  // Byte 5 gives the length; only bytes up to 64 exist, so at most 59.
  std::string GetText() const;

 private:
  std::array<uint8_t, kLast + 1> bytes_{};  // [0] unused
};

}  // namespace zarvex::protocol
