#include "wireless_table.h"

namespace zarvex::sim {

namespace {

// Position in the presence text, 0-based.
std::size_t SlotOf(int code) { return static_cast<std::size_t>(code <= 10 ? code - 1 : code - 20); }

}  // namespace

bool IsWirelessDevice(int code) { return (code >= 1 && code <= 10) || (code >= 30 && code <= 49); }

bool WirelessTable::StartPairing(int code) {
  if (!IsWirelessDevice(code)) return false;
  pending_ = code;
  return true;
}

std::optional<int> WirelessTable::CompletePairing() {
  const auto code = pending_;
  if (code) paired_.set(SlotOf(*code));
  pending_.reset();
  return code;
}

bool WirelessTable::Delete(int code) {
  if (IsWirelessDevice(code)) {
    paired_.reset(SlotOf(code));
  } else if (code == kAllKeyFobs) {
    for (std::size_t i = 0; i < 10; ++i) paired_.reset(i);
  } else if (code == kAllSensors) {
    for (std::size_t i = 10; i < kPresenceLength; ++i) paired_.reset(i);
  } else {
    return false;
  }
  return true;
}

bool WirelessTable::Pair(int code) {
  if (!IsWirelessDevice(code)) return false;
  paired_.set(SlotOf(code));
  return true;
}

bool WirelessTable::IsPaired(int code) const { return IsWirelessDevice(code) && paired_.test(SlotOf(code)); }

std::string WirelessTable::PresenceText() const {
  std::string text(kPresenceLength, '0');
  for (std::size_t i = 0; i < kPresenceLength; ++i) {
    if (paired_.test(i)) text[i] = '1';
  }
  return text;
}

}  // namespace zarvex::sim
