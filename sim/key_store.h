#pragma once
// The first model's reader key memory: positions 1..1000 of 8-byte keys, and
// the range that is learning keys after a store request.

#include <map>
#include <optional>
#include <string>
#include <utility>

#include "panel_frame.h"

namespace zarvex::sim {

struct PositionRange {
  int first = 0;
  int last = 0;
  bool operator==(const PositionRange&) const = default;
};

// "min,max" with both bounds decimal digits in 1..1000 and min <= max;
// anything else is no range.
std::optional<PositionRange> ParsePositionRange(const std::string& text);

class KeyStore {
 public:
  static constexpr int kFirstPosition = 1;
  static constexpr int kLastPosition = 1000;

  void StartLearning(PositionRange range);
  bool Learning() const { return learning_.has_value(); }
  // Stores the key at the next free position of the learning range and
  // returns that position; learning ends once the range is full.
  std::optional<int> Learn(const KeyBytes& key);

  void Delete(PositionRange range);
  // Direct placement, for setting up a panel's memory; false outside 1..1000.
  bool Put(int position, const KeyBytes& key);

  std::optional<KeyBytes> At(int position) const;
  // Ascending by position.
  const std::map<int, KeyBytes>& Stored() const { return keys_; }

 private:
  std::optional<int> NextFree() const;

  std::map<int, KeyBytes> keys_;
  std::optional<PositionRange> learning_;
};

}  // namespace zarvex::sim
