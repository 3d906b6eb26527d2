#include "settings/local_time.h"

#include <mutex>

namespace zarvex {

std::tm LocalTime(std::time_t when) {
  // std::localtime shares one buffer; the reentrant variants differ by system.
  static std::mutex mutex;
  std::lock_guard lock(mutex);
  const std::tm* local = std::localtime(&when);
  return local ? *local : std::tm{};
}

}  // namespace zarvex
