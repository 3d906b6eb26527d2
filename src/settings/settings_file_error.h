#pragma once

#include <stdexcept>

namespace zarvex {

// The message of a refused, oversized file (UTF-8).
inline constexpr char kFileTooLargeText[] = "Файл слишком велик";

// A failed load or save of a settings file. what() is the text the window
// shows: the platform's own (strerror) text of the failing call, or
// "Файл слишком велик" (UTF-8) for a file too large to be a settings file.
class SettingsFileError : public std::runtime_error {
  using runtime_error::runtime_error;
};

}  // namespace zarvex
