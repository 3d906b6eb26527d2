#pragma once

#include <string>
#include <vector>

#include "report/settings_fields.h"
#include "settings/tcfg.h"

namespace zarvex::report {

// One field that differs between two records, with both values.
struct Difference {
  const SettingsField* field = nullptr;
  ShownValue ours, theirs;
};

struct Comparison {
  std::vector<Difference> differences;  // in the order of SettingsFields()
  int parametersDiffering = 0;          // of the panel's 56
};

// Every field of SettingsFields() whose value differs between the two.
Comparison CompareSettings(const TCFG& ours, const TCFG& theirs, const PanelTextDecoder& decode);

// "Отличается 1 параметр из 56", "Отличаются 2 параметра из 56"…
std::string DifferenceCountText(int parametersDiffering);

// One difference in words, e.g. «Задержка входа 1 (сек.): 30 с (301) → 0 с (1)».
// The window's compare dialog and the command line say it the same way.
std::string DescribeDifference(const Difference& difference);

}  // namespace zarvex::report
