#pragma once

#include <QString>
#include <string>

namespace zarvex {

// The record keeps the panel's Windows-1251 bytes; the window shows Unicode.
// These two are the only crossing between the two.
QString FromPanelText(const std::string& bytes);

// A character that Windows-1251 cannot hold becomes "?".
std::string ToPanelText(const QString& text);

}  // namespace zarvex
