#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace zarvex::protocol {

using KeyBytes = std::array<uint8_t, 8>;

// Two upper-case hex digits, high nibble first: 0x0A is "0A".
std::string ByteToHex(uint8_t value);
// The eight key bytes as hex pairs joined by "-" (always 23 characters).
std::string KeyText(const KeyBytes& key);

struct KeyRow {
  std::string position;   // column "№"
  std::string key;        // column "Ключ (hex)"
  std::string duplicate;  // column "Дубль": position of the first earlier row with this key
};

// The rows of one key listing, in the order the panel sent them. Row 1 is
// the first key (row 0 of the grid holds the titles). Finding the first
// earlier row with the same key is a hash lookup, so a listing of 1000 keys
// costs 1000 lookups rather than half a million comparisons.
class KeyList {
 public:
  void Clear();
  // Appends a row and returns it; the mark names the first earlier row with
  // the same KeyText, earlier rows are never marked.
  const KeyRow& Add(int position, const KeyBytes& key);

  int32_t KeyCount() const { return static_cast<int32_t>(rows_.size()); }
  // Row 1..KeyCount().
  const KeyRow& Row(int row) const { return rows_.at(static_cast<size_t>(row - 1)); }

 private:
  std::vector<KeyRow> rows_;
  std::unordered_map<std::string, size_t> firstRowOfKey_;
};

}  // namespace zarvex::protocol
