#include "team/pg_array.h"

#include <stdexcept>

namespace zarvex::team {

namespace {

void Append32(std::string& out, uint32_t value) {
  const char bytes[4] = {static_cast<char>(value >> 24), static_cast<char>(value >> 16), static_cast<char>(value >> 8),
                         static_cast<char>(value)};
  out.append(bytes, 4);
}

}  // namespace

void TPgArray::Add(std::string_view text) {
  if (elementType_ != kTextOid && elementType_ != kByteaOid) {
    throw std::logic_error("TPgArray: text into an array of integers");
  }
  if (text.size() > 0x3fffffff) throw std::length_error("TPgArray: a value beyond what the server takes");
  Append32(elements_, static_cast<uint32_t>(text.size()));
  elements_.append(text);
  ++count_;
}

void TPgArray::Add(int32_t value) {
  if (elementType_ != kInt4Oid) throw std::logic_error("TPgArray: an integer into an array of text");
  Append32(elements_, 4);
  Append32(elements_, static_cast<uint32_t>(value));
  ++count_;
}

std::string TPgArray::Bytes() const {
  std::string out;
  out.reserve(20 + elements_.size());
  Append32(out, count_ == 0 ? 0 : 1);  // dimensions: none for an empty array
  Append32(out, 0);                    // no NULLs
  Append32(out, elementType_);
  if (count_ == 0) return out;
  Append32(out, static_cast<uint32_t>(count_));
  Append32(out, 1);  // lower bound
  return out + elements_;
}

}  // namespace zarvex::team
