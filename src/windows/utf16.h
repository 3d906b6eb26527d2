#pragma once
// UTF-8, which the program keeps everywhere, and the UTF-16 that Windows'
// wide calls take. Header only: the file, HID and command-line layers need it.

#include <windows.h>

#include <string>

namespace zarvex::windows {

// False, and nothing converted, for text that is not valid UTF-8: a name
// must never reach the system changed.
inline bool TryWide(const std::string& utf8, std::wstring& wide) {
  wide.clear();
  if (utf8.empty()) return true;
  const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()),
                                    nullptr, 0);
  if (n <= 0) return false;
  wide.assign(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
  return true;
}

// False for UTF-16 with a lone surrogate half.
inline bool TryUtf8(const std::wstring& wide, std::string& utf8) {
  utf8.clear();
  if (wide.empty()) return true;
  const int n = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide.data(), static_cast<int>(wide.size()),
                                    nullptr, 0, nullptr, nullptr);
  if (n <= 0) return false;
  utf8.assign(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide.data(), static_cast<int>(wide.size()), utf8.data(), n,
                      nullptr, nullptr);
  return true;
}

// For text the system itself gave (device paths): invalid sequences become
// U+FFFD rather than nothing.
inline std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
  return wide;
}

inline std::string Utf8(const std::wstring& wide) {
  if (wide.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                    nullptr, nullptr);
  std::string utf8(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), n, nullptr,
                      nullptr);
  return utf8;
}

}  // namespace zarvex::windows
