#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "report/settings_compare.h"
#include "settings/tcfg.h"

namespace zarvex::report {

// The record a write of `record` sends to a panel of firmware `panelVersion`:
// the collect's forced fields applied and parameter 55 chosen by that
// version and the record's autonomous flag.
TCFG AsWritten(const TCFG& record, int32_t panelVersion);

// What one parameter (1..56) carries on the wire, as the panel keeps it:
// texts cut to the report's room, numbers to their 16 bits, event rows as
// their mask. Equal values mean a write would not change the parameter.
std::string WireValue(const TCFG& cfg, int parameter);

// Would writing `record` change what the panel holds (`held`, as read)?
// Only the 56 exchanged parameters count; differences are listed in the
// window's words, limited to the fields that travel to this panel.
// `notCarried` holds the fields that differ but travel to no parameter of
// this panel (the file's own lines, VPN/ID or the sixth loop's name).
struct PanelComparison {
  Comparison comparison;
  std::vector<Difference> notCarried;
};
PanelComparison CompareWithPanel(const TCFG& held, const TCFG& record, int32_t panelVersion,
                                 const PanelTextDecoder& decode);

// A number that a write could not send whole (outside 0..65535, or a delay
// over 6553 s): the field, as the window names it, and the value shown.
struct Unwritable {
  const SettingsField* field = nullptr;
  std::string shown;
};
std::optional<Unwritable> FirstUnwritable(const TCFG& record, const PanelTextDecoder& decode);

}  // namespace zarvex::report
