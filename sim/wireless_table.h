#pragma once
// The second model's pairing table: 10 key fobs, and 10 sensors on each of
// loops 3 and 4, named by device code (fob n: n; loop 3: 29 + n; loop 4: 39 + n).

#include <bitset>
#include <optional>
#include <string>

namespace zarvex::sim {

inline constexpr int kAllKeyFobs = 11;
inline constexpr int kAllSensors = 50;
inline constexpr std::size_t kPresenceLength = 30;

// Codes of single devices: 1..10, 30..39, 40..49.
bool IsWirelessDevice(int code);

class WirelessTable {
 public:
  // False for a code that names no single device.
  bool StartPairing(int code);
  std::optional<int> PendingPairing() const { return pending_; }
  // The device waiting to pair answers; returns its code, or none if nothing waits.
  std::optional<int> CompletePairing();

  // Single devices, 11 for all key fobs, 50 for all sensors; false otherwise.
  bool Delete(int code);
  bool Pair(int code);  // direct, for setting up a panel
  bool IsPaired(int code) const;

  // 30 characters: fobs 1..10, loop 3 sensors 1..10, loop 4 sensors 1..10.
  std::string PresenceText() const;

 private:
  std::bitset<kPresenceLength> paired_;
  std::optional<int> pending_;
};

}  // namespace zarvex::sim
