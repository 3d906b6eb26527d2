#include "report/panel_compare.h"

#include <algorithm>
#include <bitset>

#include "protocol/parameter_table.h"
#include "protocol/report_frame.h"
#include "settings/installer_units.h"

namespace zarvex::report {

namespace {

bool Carries(const SettingsField& field, const TCFG& written) {
  if (field.parameter < 1 || field.parameter > 56) return false;
  if (field.parameter != 55) return true;
  const bool vpnField = field.label == "VPN" || field.label == "ID (6 знаков)";
  return vpnField == protocol::Parameter55IsVpnAndId(written);
}

}  // namespace

TCFG AsWritten(const TCFG& record, int32_t panelVersion) {
  TCFG written = record;
  written.FirmwareVersion = panelVersion;
  ApplyCollectRules(written);
  return written;
}

std::string WireValue(const TCFG& cfg, int parameter) {
  const protocol::Parameter* p = protocol::ParameterAt(parameter);
  if (p == nullptr) return {};
  TCFG& c = const_cast<TCFG&>(cfg);  // the table's accessors only read here
  auto text = [](const Text& t) { return t.substr(0, protocol::OutReport::kMaxText); };
  switch (p->kind) {
    case protocol::ParameterKind::KeypadCodes: {
      Text codes = cfg.KeypadCode0;
      for (const Text& code : cfg.KeypadCode) codes += code;
      return text(codes);
    }
    case protocol::ParameterKind::Text: return text(p->text(c));
    case protocol::ParameterKind::Number: {
      // The two bytes a write sends, as PutNumber makes them.
      const int32_t v = p->number(c);
      const unsigned high = static_cast<uint8_t>(v / 256), low = static_cast<uint8_t>(v % 256);
      return std::to_string(high * 256 + low);
    }
    case protocol::ParameterKind::EventSlots: return text(p->mask(c));
  }
  return {};
}

PanelComparison CompareWithPanel(const TCFG& held, const TCFG& record, int32_t panelVersion,
                                 const PanelTextDecoder& decode) {
  const TCFG written = AsWritten(record, panelVersion);
  std::bitset<57> changed;
  for (int k = 1; k <= 56; ++k) {
    if (WireValue(held, k) != WireValue(written, k)) changed.set(static_cast<size_t>(k));
  }
  PanelComparison result;
  for (Difference& d : CompareSettings(held, written, decode).differences) {
    if (!Carries(*d.field, written)) {
      result.notCarried.push_back(std::move(d));
    } else if (changed.test(static_cast<size_t>(d.field->parameter))) {
      result.comparison.differences.push_back(std::move(d));
    }
  }
  result.comparison.parametersDiffering = static_cast<int>(changed.count());
  return result;
}

std::optional<Unwritable> FirstUnwritable(const TCFG& record, const PanelTextDecoder& decode) {
  for (const SettingsField& field : SettingsFields()) {
    const protocol::Parameter* p = protocol::ParameterAt(field.parameter);
    if (p == nullptr || p->kind != protocol::ParameterKind::Number) continue;
    const int32_t v = p->number(const_cast<TCFG&>(record));
    if (v < 0 || v > kLargestPanelNumber) return Unwritable{&field, field.value(record, decode).shown};
  }
  return std::nullopt;
}

}  // namespace zarvex::report
