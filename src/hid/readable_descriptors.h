#pragma once

#include <vector>

namespace zarvex::hid {

// Which of `fds` are readable (or hung up), waiting at most timeoutMs for
// one. Windows watches no descriptors: there it only waits.
std::vector<int> ReadableDescriptors(const std::vector<int>& fds, int timeoutMs);

}  // namespace zarvex::hid
