#pragma once

#include <functional>
#include <string>
#include <vector>

#include "settings/tcfg.h"

namespace zarvex::report {

// Panel texts are Windows-1251 bytes; whoever shows them passes the decoder
// (UTF-8 out), so this layer stays free of any toolkit.
using PanelTextDecoder = std::function<std::string(const Text&)>;

// One value as the installer sees it (seconds, the combo box's text, "да"),
// and as the record holds it (the code, the delay's seconds * 10 + 1).
struct ShownValue {
  std::string shown;
  std::string raw;
  bool operator==(const ShownValue&) const = default;
};

// A field of the configuration under the window's own words: the page it
// is on and its label, or a plain name for fields that have no control.
struct SettingsField {
  std::string page;
  std::string label;
  int parameter = 0;  // 1..56; 0 for the file's own lines
  bool secret = false;  // keypad codes: a printed report masks them
  std::function<ShownValue(const TCFG&, const PanelTextDecoder&)> value;
  // Copies this field from one record into another, leaving the rest alone.
  std::function<void(TCFG& into, const TCFG& from)> copy;
};

inline const char* const kNoControlPage = "Без элемента окна";

// Every field the settings file holds, page by page in the window's order,
// the fields without a control last.
const std::vector<SettingsField>& SettingsFields();

}  // namespace zarvex::report
