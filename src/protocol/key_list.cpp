#include "protocol/key_list.h"

namespace zarvex::protocol {

std::string ByteToHex(uint8_t value) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  return {kDigits[value >> 4], kDigits[value & 0x0F]};
}

std::string KeyText(const KeyBytes& key) {
  std::string text;
  text.reserve(key.size() * 3);
  for (size_t k = 0; k < key.size(); ++k) {
    if (k > 0) text += '-';
    text += ByteToHex(key[k]);
  }
  return text;
}

void KeyList::Clear() {
  rows_.clear();
  firstRowOfKey_.clear();
}

const KeyRow& KeyList::Add(int position, const KeyBytes& key) {
  KeyRow row{std::to_string(position), KeyText(key), {}};
  auto [it, inserted] = firstRowOfKey_.try_emplace(row.key, rows_.size());
  if (!inserted) row.duplicate = rows_[it->second].position;
  rows_.push_back(std::move(row));
  return rows_.back();
}

}  // namespace zarvex::protocol
