#include "report/settings_compare.h"

#include <bitset>

#include "settings/russian_plural.h"

namespace zarvex::report {

namespace {
std::string WithRaw(const ShownValue& v) {
  const std::string shown = v.shown.empty() ? "(пусто)" : "«" + v.shown + "»";
  return v.raw == v.shown ? shown : shown + " (" + v.raw + ")";
}
}  // namespace

Comparison CompareSettings(const TCFG& ours, const TCFG& theirs, const PanelTextDecoder& decode) {
  Comparison result;
  std::bitset<57> parameters;
  for (const SettingsField& field : SettingsFields()) {
    ShownValue a = field.value(ours, decode);
    ShownValue b = field.value(theirs, decode);
    if (a == b) continue;
    if (field.parameter >= 1 && field.parameter <= 56) parameters.set(static_cast<size_t>(field.parameter));
    result.differences.push_back({&field, std::move(a), std::move(b)});
  }
  result.parametersDiffering = static_cast<int>(parameters.count());
  return result;
}

std::string DifferenceCountText(int n) {
  return std::string(PluralOf(n, "Отличается ", "Отличаются ", "Отличаются ")) +
         Counted(n, "параметр", "параметра", "параметров") + " из 56";
}

std::string DescribeDifference(const Difference& d) {
  return d.field->label + ": " + WithRaw(d.ours) + " → " + WithRaw(d.theirs);
}

}  // namespace zarvex::report
