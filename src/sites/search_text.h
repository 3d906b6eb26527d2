#pragma once

#include <string>
#include <vector>

namespace zarvex::sites {

// UTF-8 folded for search and for sorting: Unicode's full case folding
// (so "Їжак", "ЇЖАК" and "їжак" are one), then "ё" as "е". Bytes that are no
// UTF-8 stay as they are.
std::string FoldForSearch(const std::string& utf8);

// Compares two names as an alphabetical list wants them: case ignored, Ё
// beside Е; <0, 0, >0.
int CompareNames(const std::string& a, const std::string& b);

// The digits of a phone alone, so "+7 900 123-45-67" is found by "9001234".
std::string PhoneDigits(const std::string& text);

// The phones a field holds, each as its digits: separated by commas,
// semicolons, slashes or lines, or by a space once a whole number is there.
std::vector<std::string> PhonesOf(const std::string& text);

// The lines a phone adds to the search text: its digits, and a Russian
// number also with the other trunk prefix ("8 912…" is "+7 912…").
std::string PhoneSearchLines(const std::string& phone);

// What the search text is searched for: a query that is a phone (digits
// and "+ ( ) -" and spaces alone, three digits at least) by its digits,
// anything else folded.
std::string SearchQuery(const std::string& text);

}  // namespace zarvex::sites
