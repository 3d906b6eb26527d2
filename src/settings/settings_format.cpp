#include "settings/settings_format.h"

#include <utility>

#include "settings/line_reader.h"

namespace zarvex {

namespace {

constexpr size_t kCodeLength = 4;
constexpr int kGroupEntries = 7;  // the eighth entry of a group is never stored

// Characters 4k+1 .. 4k+4 of the code line, as many of them as exist.
Text CodeSpan(const Text& line, size_t k) {
  size_t start = k * kCodeLength;
  return start < line.size() ? line.substr(start, kCodeLength) : Text();
}

// The file's lines in their order, once for writing and reading alike.
template <typename Record, typename Lines>
void ForEachLine(Record& cfg, Lines& lines) {
  lines.Int(cfg.DeviceType);
  lines.Int(cfg.FirmwareVersion);
  lines.Codes(cfg);
  for (auto& phone : cfg.Phone) lines.Text(phone);
  lines.Int(cfg.AuxValue1);
  lines.Int(cfg.AuxValue2);
  lines.Text(cfg.AccessPoint);
  lines.Text(cfg.AuxText1);
  lines.Text(cfg.AuxText2);
  lines.Text(cfg.ServerAddress);
  lines.Text(cfg.ReserveAddress);
  lines.Text(cfg.AuxText3);
  lines.Int(cfg.TestPeriod);
  lines.Int(cfg.ArmDelay);
  for (int i = 0; i < kGroupEntries; ++i) lines.Int(cfg.InputDelay[i]);    // [6] is AuxValue3
  for (int i = 0; i < kGroupEntries; ++i) lines.Int(cfg.InputType[i]);     // [6] is AuxValue4
  for (int i = 0; i < kGroupEntries; ++i) lines.Int(cfg.SirenOnInput[i]);  // [6] is AuxValue5
  lines.Int(cfg.CallMode);
  lines.Int(cfg.AutonomousOff);
  lines.Int(cfg.MaxSmsPerDay);
  lines.Int(cfg.SirenTime);
  lines.Int(cfg.LockPulse);
  lines.Int(cfg.OptionFlags);
  lines.Int(cfg.AuxValue6);
  lines.Int(cfg.ReaderType);
  lines.Text(cfg.SmsEventMask);
  lines.Text(cfg.CallEventMask);
  lines.MasksDone(cfg);
  for (int i = 0; i < kGroupEntries; ++i) lines.Text(cfg.InputName[i]);  // [6] is TamperName
  lines.Int(cfg.AuxValue7);
  lines.Text(cfg.VpnAndId);
}

class LineWriter {
 public:
  void Text(std::string_view text) {
    for (char c : text) out_.push_back(c == '\r' || c == '\n' ? ' ' : c);
    out_ += "\r\n";
  }
  void Int(int32_t value) { Text(std::to_string(value)); }
  // Joined as held: a code that is not four characters long shifts the rest.
  void Codes(const TCFG& cfg) {
    zarvex::Text codes = cfg.KeypadCode0;
    for (const zarvex::Text& code : cfg.KeypadCode) codes += code;
    Text(codes);
  }
  void MasksDone(const TCFG&) {}
  std::string Take() { return std::move(out_); }

 private:
  std::string out_;
};

class LineParser {
 public:
  explicit LineParser(std::string_view contents) : reader_(contents) {}
  void Text(zarvex::Text& text) { text = reader_.Next(); }
  void Int(int32_t& value) { value = DigitsToInt(reader_.Next()); }
  void Codes(TCFG& cfg) {
    const zarvex::Text codes = reader_.Next();
    cfg.KeypadCode0 = CodeSpan(codes, 0);
    for (size_t k = 0; k < cfg.KeypadCode.size(); ++k) cfg.KeypadCode[k] = CodeSpan(codes, k + 1);
  }
  // The slots are not in the file; they follow the two mask lines.
  void MasksDone(TCFG& cfg) { SplitEventMasks(cfg); }

 private:
  LineReader reader_;
};

}  // namespace

std::string FormatSettings(const TCFG& cfg) {
  LineWriter writer;
  ForEachLine(cfg, writer);
  return writer.Take();
}

int CountSettingsLines(std::string_view contents) {
  int lines = 0;
  for (char c : contents) lines += c == '\n';
  if (!contents.empty() && contents.back() != '\n') ++lines;
  return lines;
}

void ParseSettings(std::string_view contents, TCFG& cfg) {
  LineParser parser(contents);
  ForEachLine(cfg, parser);
}

}  // namespace zarvex
