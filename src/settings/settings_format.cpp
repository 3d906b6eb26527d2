#include "settings/settings_format.h"

#include <utility>

#include "settings/line_reader.h"

namespace zarvex {

namespace {

constexpr size_t kCodeLength = 4;

class LineWriter {
 public:
  void Text(std::string_view text) {
    for (char c : text) out_.push_back(c == '\r' || c == '\n' ? ' ' : c);
    out_ += "\r\n";
  }
  void Int(int32_t value) { Text(std::to_string(value)); }
  std::string Take() { return std::move(out_); }

 private:
  std::string out_;
};

// Characters 4k+1 .. 4k+4 of the code line, as many of them as exist.
Text CodeSpan(const Text& line, size_t k) {
  size_t start = k * kCodeLength;
  return start < line.size() ? line.substr(start, kCodeLength) : Text();
}

}  // namespace

std::string FormatSettings(const TCFG& cfg) {
  LineWriter w;
  w.Int(cfg.DeviceType);
  w.Int(cfg.FirmwareVersion);
  // Joined as held: a code that is not four characters long shifts the rest.
  Text codes = cfg.KeypadCode0;
  for (const Text& code : cfg.KeypadCode) codes += code;
  w.Text(codes);
  for (const Text& phone : cfg.Phone) w.Text(phone);
  w.Int(cfg.AuxValue1);
  w.Int(cfg.AuxValue2);
  w.Text(cfg.AccessPoint);
  w.Text(cfg.AuxText1);
  w.Text(cfg.AuxText2);
  w.Text(cfg.ServerAddress);
  w.Text(cfg.ReserveAddress);
  w.Text(cfg.AuxText3);
  w.Int(cfg.TestPeriod);
  w.Int(cfg.ArmDelay);
  for (int i = 0; i < 7; ++i) w.Int(cfg.InputDelay[i]);  // [6] is AuxValue3
  for (int i = 0; i < 7; ++i) w.Int(cfg.InputType[i]);   // [6] is AuxValue4
  for (int i = 0; i < 7; ++i) w.Int(cfg.SirenOnInput[i]);  // [6] is AuxValue5
  w.Int(cfg.CallMode);
  w.Int(cfg.AutonomousOff);
  w.Int(cfg.MaxSmsPerDay);
  w.Int(cfg.SirenTime);
  w.Int(cfg.LockPulse);
  w.Int(cfg.OptionFlags);
  w.Int(cfg.AuxValue6);
  w.Int(cfg.ReaderType);
  w.Text(cfg.SmsEventMask);
  w.Text(cfg.CallEventMask);
  for (int i = 0; i < 7; ++i) w.Text(cfg.InputName[i]);  // [6] is TamperName
  w.Int(cfg.AuxValue7);
  w.Text(cfg.VpnAndId);
  return w.Take();
}

void ParseSettings(std::string_view contents, TCFG& cfg) {
  LineReader r(contents);
  auto integer = [&r] { return DigitsToInt(r.Next()); };

  cfg.DeviceType = integer();
  cfg.FirmwareVersion = integer();
  const Text codes = r.Next();
  cfg.KeypadCode0 = CodeSpan(codes, 0);
  for (size_t k = 0; k < cfg.KeypadCode.size(); ++k) cfg.KeypadCode[k] = CodeSpan(codes, k + 1);
  for (Text& phone : cfg.Phone) phone = r.Next();
  cfg.AuxValue1 = integer();
  cfg.AuxValue2 = integer();
  cfg.AccessPoint = r.Next();
  cfg.AuxText1 = r.Next();
  cfg.AuxText2 = r.Next();
  cfg.ServerAddress = r.Next();
  cfg.ReserveAddress = r.Next();
  cfg.AuxText3 = r.Next();
  cfg.TestPeriod = integer();
  cfg.ArmDelay = integer();
  for (int i = 0; i < 7; ++i) cfg.InputDelay[i] = integer();
  for (int i = 0; i < 7; ++i) cfg.InputType[i] = integer();
  for (int i = 0; i < 7; ++i) cfg.SirenOnInput[i] = integer();
  cfg.CallMode = integer();
  cfg.AutonomousOff = integer();
  cfg.MaxSmsPerDay = integer();
  cfg.SirenTime = integer();
  cfg.LockPulse = integer();
  cfg.OptionFlags = integer();
  cfg.AuxValue6 = integer();
  cfg.ReaderType = integer();
  cfg.SmsEventMask = r.Next();
  cfg.CallEventMask = r.Next();
  SplitEventMasks(cfg);
  for (int i = 0; i < 7; ++i) cfg.InputName[i] = r.Next();
  cfg.AuxValue7 = integer();
  cfg.VpnAndId = r.Next();
}

}  // namespace zarvex
