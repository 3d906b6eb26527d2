#include "settings/russian_plural.h"

namespace zarvex {

const char* PluralOf(long n, const char* one, const char* few, const char* many) {
  const long tens = (n < 0 ? -n : n) % 100;
  const long units = tens % 10;
  if (tens >= 11 && tens <= 14) return many;
  if (units == 1) return one;
  if (units >= 2 && units <= 4) return few;
  return many;
}

std::string Counted(long n, const char* one, const char* few, const char* many) {
  return std::to_string(n) + " " + PluralOf(n, one, few, many);
}

}  // namespace zarvex
