#include "key_store.h"

namespace zarvex::sim {

namespace {

std::optional<int> ParseBound(const std::string& text) {
  // Four digits are enough for 1000; more would only be an overflow risk.
  if (text.empty() || text.size() > 4) return std::nullopt;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value < KeyStore::kFirstPosition || value > KeyStore::kLastPosition) return std::nullopt;
  return value;
}

}  // namespace

std::optional<PositionRange> ParsePositionRange(const std::string& text) {
  const auto comma = text.find(',');
  if (comma == std::string::npos) return std::nullopt;
  const auto first = ParseBound(text.substr(0, comma));
  const auto last = ParseBound(text.substr(comma + 1));
  if (!first || !last || *last < *first) return std::nullopt;
  return PositionRange{*first, *last};
}

void KeyStore::StartLearning(PositionRange range) { learning_ = range; }

std::optional<int> KeyStore::NextFree() const {
  for (int p = learning_->first; p <= learning_->last; ++p) {
    if (!keys_.contains(p)) return p;
  }
  return std::nullopt;
}

std::optional<int> KeyStore::Learn(const KeyBytes& key) {
  if (!learning_) return std::nullopt;
  const auto position = NextFree();
  if (position) keys_[*position] = key;
  if (!position || !NextFree()) learning_.reset();
  return position;
}

void KeyStore::Delete(PositionRange range) {
  keys_.erase(keys_.lower_bound(range.first), keys_.upper_bound(range.last));
}

bool KeyStore::Put(int position, const KeyBytes& key) {
  if (position < kFirstPosition || position > kLastPosition) return false;
  keys_[position] = key;
  return true;
}

std::optional<KeyBytes> KeyStore::At(int position) const {
  const auto it = keys_.find(position);
  if (it == keys_.end()) return std::nullopt;
  return it->second;
}

}  // namespace zarvex::sim
