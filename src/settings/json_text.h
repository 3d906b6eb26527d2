#pragma once

#include <string>

namespace zarvex {

// A UTF-8 text as a JSON string, quotes included.
std::string JsonString(const std::string& utf8);

}  // namespace zarvex
