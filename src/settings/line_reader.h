#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zarvex {

// Hands out the lines of a settings file's contents: a line ends at LF, every
// CR in it is dropped (the one before LF and any stray one alike), lines have
// no length limit, and past the end every line reads empty. All other bytes,
// 0x1A and NUL included, are ordinary characters.
class LineReader {
 public:
  explicit LineReader(std::string_view contents) : contents_(contents) {}

  std::string Next();

 private:
  std::string_view contents_;
  size_t pos_ = 0;
};

}  // namespace zarvex
