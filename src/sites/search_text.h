#pragma once

#include <string>

namespace zarvex::sites {

// UTF-8 folded for search: Latin and Cyrillic letters in lower case, "ё" as
// "е"; everything else as it is.
std::string FoldForSearch(const std::string& utf8);

// The digits of a phone alone, so "+7 900 123-45-67" is found by "9001234".
std::string PhoneDigits(const std::string& text);

}  // namespace zarvex::sites
