#include "settings/tcfg.h"

namespace zarvex {

int32_t DigitsToInt(const Text& text) {
  // Unsigned arithmetic wraps without undefined behaviour; the cast back is
  // modular in C++20.
  uint32_t value = 0;
  for (unsigned char c : text) {
    if (c >= '0' && c <= '9') value = value * 10u + static_cast<uint32_t>(c - '0');
  }
  return static_cast<int32_t>(value);
}

namespace {
// The character whose code is 48 + slot, taken modulo 256. The sum is formed
// unsigned so that a slot near INT32_MAX wraps instead of overflowing.
char MaskChar(int32_t slot) {
  return static_cast<char>(static_cast<uint8_t>(48u + static_cast<uint32_t>(slot)));
}
}  // namespace

void BuildEventMasks(TCFG& cfg) {
  cfg.SmsEventMask.clear();
  cfg.CallEventMask.clear();
  for (int slot = 0; slot < kEventSlots; ++slot) {
    cfg.SmsEventMask.push_back(MaskChar(cfg.SmsEvents[slot]));
    cfg.CallEventMask.push_back(MaskChar(cfg.CallEvents[slot]));
  }
}

namespace {
void SplitMask(const Text& mask, std::array<int32_t, kEventSlots>& slots) {
  for (int k = 0; k < kEventSlots; ++k) {
    slots[k] = k < static_cast<int>(mask.size()) ? static_cast<unsigned char>(mask[k]) - 48 : 0;
  }
}
}  // namespace

void SplitEventMasks(TCFG& cfg) {
  SplitMask(cfg.SmsEventMask, cfg.SmsEvents);
  SplitMask(cfg.CallEventMask, cfg.CallEvents);
}

}  // namespace zarvex
