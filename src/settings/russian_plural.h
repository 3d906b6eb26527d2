#pragma once

#include <string>

namespace zarvex {

// The form of a Russian noun after the number n: `one` for 1, 21, 101…,
// `few` for 2–4, 22–24…, `many` for 0, 5–20, 25–30, 111…
const char* PluralOf(long n, const char* one, const char* few, const char* many);

// "1 параметр", "2 параметра", "5 параметров".
std::string Counted(long n, const char* one, const char* few, const char* many);

}  // namespace zarvex
