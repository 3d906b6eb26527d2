#include "hid/readable_descriptors.h"

#include <chrono>
#include <thread>

namespace zarvex::hid {

// The Windows platform brings its own notifications and watches nothing.
std::vector<int> ReadableDescriptors(const std::vector<int>&, int timeoutMs) {
  std::this_thread::sleep_for(std::chrono::milliseconds(timeoutMs));
  return {};
}

}  // namespace zarvex::hid
