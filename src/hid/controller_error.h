#pragma once

#include <stdexcept>

namespace zarvex::hid {

// A device could not be opened or identified.
class EControllerError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace zarvex::hid
