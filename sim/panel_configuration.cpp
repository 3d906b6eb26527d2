#include "panel_configuration.h"

namespace zarvex::sim {

namespace {

// Number parameters: 15, 17 to 47. Masks: 48 and 49. The rest are texts.
bool IsNumberParameter(int parameter) { return parameter == 15 || (parameter >= 17 && parameter <= 47); }

const std::string& EmptyText() {
  static const std::string empty;
  return empty;
}

}  // namespace

bool IsParameter(int parameter) { return parameter >= 1 && parameter <= kParameterCount; }

ParameterKind KindOfParameter(int parameter) {
  if (IsNumberParameter(parameter)) return ParameterKind::Number;
  if (parameter == 48 || parameter == 49) return ParameterKind::Mask;
  return ParameterKind::Text;
}

PanelConfiguration PanelConfiguration::Factory() {
  PanelConfiguration c;
  // Slot 0 and codes 1 to 9 hold the user code, code 10 the administrator code.
  std::string codes;
  for (int i = 0; i < 10; ++i) codes += "1234";
  codes += "0000";
  c.SetText(1, codes);
  for (int p = 2; p <= 9; ++p) c.SetText(p, "*");
  c.SetText(10, "internet");
  c.SetText(11, "");
  c.SetText(12, "");
  c.SetText(13, "0.0.0.0");
  c.SetText(14, "0.0.0.0");
  c.SetNumber(15, 1);
  c.SetText(16, "1");
  c.SetNumber(17, 720);
  c.SetNumber(18, 301);  // 30 s, stored as seconds * 10 + 1
  const int32_t delays[] = {301, 1, 1, 1, 1, 1, 0};
  for (int i = 0; i < 7; ++i) c.SetNumber(19 + i, delays[i]);
  const int32_t loopTypes[] = {5, 0, 1, 1, 1, 1, 3};
  for (int i = 0; i < 7; ++i) c.SetNumber(26 + i, loopTypes[i]);
  for (int i = 0; i < 6; ++i) c.SetNumber(33 + i, 1);
  c.SetNumber(39, 0);
  c.SetNumber(40, 0);
  c.SetNumber(41, 0);
  c.SetNumber(42, 30);
  c.SetNumber(43, 120);
  c.SetNumber(44, 11);
  c.SetNumber(45, 2);
  c.SetNumber(46, 13);
  c.SetNumber(47, 2);
  c.SetText(48, "1111111111111100");
  c.SetText(49, "0111111000000000");
  for (int i = 1; i <= 6; ++i) c.SetText(49 + i, "Alarm Input" + std::to_string(i));
  c.SetText(56, "Tamper");
  return c;
}

int32_t PanelConfiguration::Number(int parameter) const {
  return IsParameter(parameter) ? numbers_[static_cast<std::size_t>(parameter)] : 0;
}

const std::string& PanelConfiguration::Text(int parameter) const {
  return IsParameter(parameter) ? texts_[static_cast<std::size_t>(parameter)] : EmptyText();
}

void PanelConfiguration::SetNumber(int parameter, int32_t value) {
  if (IsParameter(parameter)) numbers_[static_cast<std::size_t>(parameter)] = value;
}

void PanelConfiguration::SetText(int parameter, std::string text) {
  if (!IsParameter(parameter)) return;
  if (KindOfParameter(parameter) == ParameterKind::Mask) text.resize(kMaskLength, '0');
  texts_[static_cast<std::size_t>(parameter)] = std::move(text);
}

}  // namespace zarvex::sim
