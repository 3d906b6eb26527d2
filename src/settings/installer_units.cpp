#include "settings/installer_units.h"

namespace zarvex {

namespace {
const std::vector<CodeText> kLoopTypes = {
    {"Проходной", 0}, {"Тревожный", 1}, {"Круглосуточный", 2}, {"Входной", 5}};
const std::vector<CodeText> kLoop6Types = {{"Проходной", 0},
                                           {"Тревожный", 1},
                                           {"Круглосуточный", 2},
                                           {"Постановка/Снятие", 4},
                                           {"Входной", 5}};
const std::vector<CodeText> kCallModes = {{"Стандартный", 0},
                                          {"DTMF-управление", 1},
                                          {"Без поднятия трубки", 2},
                                          {"Управление замком", 3}};
const std::vector<CodeText> kReaderTypes = {
    {"Vizit RD2-RD3 (One-Wire)", 0}, {"CP-Z2L (Wiegand)", 1}, {"Линд-7", 2}};
}  // namespace

const std::vector<CodeText>& LoopTypes(int loop) { return loop == 6 ? kLoop6Types : kLoopTypes; }
const std::vector<CodeText>& CallModes() { return kCallModes; }
const std::vector<CodeText>& ReaderTypes() { return kReaderTypes; }

std::optional<std::string> TextOfCode(const std::vector<CodeText>& list, int32_t code) {
  for (const CodeText& entry : list) {
    if (entry.code == code) return std::string(entry.text);
  }
  return std::nullopt;
}

std::optional<int32_t> CodeOfText(const std::vector<CodeText>& list, const std::string& text) {
  for (const CodeText& entry : list) {
    if (text == entry.text) return entry.code;
  }
  return std::nullopt;
}

int32_t DelayCode(int32_t seconds) {
  return static_cast<int32_t>(static_cast<uint32_t>(seconds) * 10u + 1u);
}

int32_t DelaySeconds(int32_t code) { return code / 10; }

Options OptionsOf(int32_t v) {
  Options o;
  if (v >= 4) {
    o.remoteDisarm = true;
    o.forced = v % 2 != 0;
    o.voiceReport = (v - 4) / 2 > 0;
  } else {
    o.forced = v % 2 > 0;
    o.voiceReport = v / 2 > 0;
  }
  return o;
}

int32_t FlagsOf(const Options& o) {
  return (o.forced ? 1 : 0) + (o.voiceReport ? 2 : 0) + (o.remoteDisarm ? 4 : 0);
}

bool VpnOf(const TCFG& cfg) { return !cfg.VpnAndId.empty() && cfg.VpnAndId[0] == '1'; }
Text IdOf(const TCFG& cfg) { return cfg.VpnAndId.empty() ? Text() : cfg.VpnAndId.substr(1); }

void ApplyCollectRules(TCFG& c) {
  c.KeypadCode0 = kFactoryUserCode;
  for (Text& code : c.KeypadCode) {
    if (code.size() < 4) code.insert(0, 4 - code.size(), '0');
  }
  c.AuxValue1 = 0;
  c.AuxValue2 = 0;
  c.AuxText1.clear();
  c.AuxText2.clear();
  c.AuxText3 = "1";
  c.AuxValue4() = 3;
  c.AuxValue6 = 13;
  c.AuxValue7 = 1;
}

}  // namespace zarvex
