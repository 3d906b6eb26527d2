#pragma once

#include <ctime>

namespace zarvex {

// The local calendar time of `when`, safe to call from any thread.
std::tm LocalTime(std::time_t when);

}  // namespace zarvex
