#pragma once

#include <array>
#include <string>
#include <vector>

#include "report/settings_fields.h"
#include "settings/tcfg.h"

namespace zarvex::report {

// What a configuration report shows besides the record itself.
struct ReportContext {
  std::string date;                   // as it is to be printed
  std::string deviceType, firmware;   // empty when no panel is connected
  bool showCodes = false;             // "показать коды"; else all but the last digit hidden
  std::string note;                   // "Примечание", UTF-8
  bool keysListed = false;            // the key list was read in this session
  std::vector<std::array<std::string, 3>> keys;  // position, key, duplicate
  bool wirelessListed = false;
  std::string trinkets, sensors;      // the two labels' texts
};

// The report as one HTML page for a text document: title, date, panel,
// every page's settings in the window's words and units, the event table,
// the key list or the wireless devices, and the note. Texts are UTF-8.
std::string ConfigurationReportHtml(const TCFG& cfg, const ReportContext& context,
                                    const PanelTextDecoder& decode);

// A keypad code with all but its last character hidden.
std::string MaskedCode(const std::string& code);

}  // namespace zarvex::report
