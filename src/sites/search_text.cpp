#include "sites/search_text.h"

#include <algorithm>
#include <cstdint>

namespace zarvex::sites {

namespace {

struct TFold {
  uint32_t from;
  uint32_t to[3];
};
const TFold kFolds[] = {
#include "sites/case_folding_table.inc"
};

// Decodes one UTF-8 sequence at s[i]; false for bytes that are none.
bool Decode(const std::string& s, size_t i, uint32_t& cp, size_t& length) {
  const auto b = [&](size_t k) { return static_cast<unsigned char>(s[i + k]); };
  const unsigned char c = b(0);
  if (c < 0x80) {
    cp = c;
    length = 1;
    return true;
  }
  if (c >= 0xC2 && c <= 0xDF) length = 2;
  else if (c >= 0xE0 && c <= 0xEF) length = 3;
  else if (c >= 0xF0 && c <= 0xF4) length = 4;
  else return false;
  if (i + length > s.size()) return false;
  cp = c & (0xFF >> (length + 1));
  for (size_t k = 1; k < length; ++k) {
    if ((b(k) & 0xC0) != 0x80) return false;
    cp = (cp << 6) | (b(k) & 0x3F);
  }
  static const uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
  return cp >= least[length] && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF);
}

void Encode(uint32_t cp, std::string& out) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

void AppendFolded(uint32_t cp, std::string& out) {
  const TFold* end = kFolds + sizeof kFolds / sizeof kFolds[0];
  const TFold* f = std::lower_bound(kFolds, end, cp, [](const TFold& r, uint32_t v) { return r.from < v; });
  if (f == end || f->from != cp) {
    Encode(cp == 0x451 ? 0x435 : cp, out);  // ё as е
    return;
  }
  for (uint32_t to : f->to) {
    if (to != 0) Encode(to == 0x451 ? 0x435 : to, out);
  }
}

bool IsPhonePunctuation(char c) { return c == '+' || c == '(' || c == ')' || c == '-' || c == ' ' || c == '.'; }

}  // namespace

std::string FoldForSearch(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    uint32_t cp = 0;
    size_t length = 1;
    if (Decode(s, i, cp, length)) {
      AppendFolded(cp, out);
    } else {
      out += s[i];
      length = 1;
    }
    i += length;
  }
  return out;
}

int CompareNames(const std::string& a, const std::string& b) {
  // UTF-8 bytes compare as their code points do, and Cyrillic's are in
  // alphabetical order once "ё" is "е".
  return FoldForSearch(a).compare(FoldForSearch(b));
}

std::string PhoneDigits(const std::string& text) {
  std::string digits;
  for (char c : text) {
    if (c >= '0' && c <= '9') digits += c;
  }
  return digits;
}

std::vector<std::string> PhonesOf(const std::string& text) {
  std::vector<std::string> phones;
  std::string current;
  const auto finish = [&] {
    if (!current.empty()) phones.push_back(current);
    current.clear();
  };
  for (char c : text) {
    if (c >= '0' && c <= '9') {
      current += c;
    } else if (c == ',' || c == ';' || c == '/' || c == '\n' || c == '\r' || c == '\t') {
      finish();
    } else if (c == ' ' && current.size() >= 10) {
      finish();
    } else if (!IsPhonePunctuation(c)) {
      finish();  // a word between numbers ("доб.", "или") ends one
    }
  }
  finish();
  return phones;
}

std::string PhoneSearchLines(const std::string& phone) {
  const std::string digits = PhoneDigits(phone);
  if (digits.empty()) return {};
  std::string lines = digits + "\n";
  if (digits.size() == 11 && (digits[0] == '7' || digits[0] == '8')) {
    lines += (digits[0] == '7' ? "8" : "7") + digits.substr(1) + "\n";
  }
  return lines;
}

std::string SearchQuery(const std::string& text) {
  const bool phoneLike = std::all_of(text.begin(), text.end(),
                                     [](char c) { return (c >= '0' && c <= '9') || IsPhonePunctuation(c); });
  const std::string digits = PhoneDigits(text);
  if (phoneLike && digits.size() >= 3) return digits;
  return FoldForSearch(text);
}

}  // namespace zarvex::sites
