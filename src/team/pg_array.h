#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zarvex::team {

// A one-dimensional array parameter in PostgreSQL's binary form, so a
// batch of thousands of values reaches the server without being quoted
// here or parsed there. Elements are never NULL.
class TPgArray {
 public:
  static TPgArray OfText() { return TPgArray(kTextOid); }
  static TPgArray OfBytes() { return TPgArray(kByteaOid); }
  static TPgArray OfIntegers() { return TPgArray(kInt4Oid); }

  void Add(std::string_view text);  // an array of text or of bytes
  void Add(int32_t value);          // an array of integers
  // The header (one dimension, from 1, no NULLs, the element type) and
  // the elements, each as its length and its bytes, big-endian.
  std::string Bytes() const;

 private:
  static constexpr uint32_t kTextOid = 25;
  static constexpr uint32_t kByteaOid = 17;
  static constexpr uint32_t kInt4Oid = 23;
  explicit TPgArray(uint32_t elementType) : elementType_(elementType) {}
  uint32_t elementType_;
  size_t count_ = 0;
  std::string elements_;
};

}  // namespace zarvex::team
