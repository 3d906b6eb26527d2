#pragma once

#include <string>

#include "settings/tcfg.h"

namespace zarvex {

// A record in which every field the file holds has its own value, so that a
// field written to or read from the wrong line shows up. Codes are four
// characters, integers non-negative, texts without line breaks: the record a
// save and load must give back unchanged.
inline TCFG DistinctRecord() {
  TCFG cfg;
  int32_t n = 100;
  auto text = [&n](const char* what) { return std::string(what) + std::to_string(++n); };
  cfg.KeypadCode0 = "0000";
  for (size_t i = 0; i < cfg.KeypadCode.size(); ++i) cfg.KeypadCode[i] = std::to_string(1001 + i);
  for (auto& phone : cfg.Phone) phone = text("+7900");
  cfg.AuxValue1 = ++n;
  cfg.AuxValue2 = ++n;
  cfg.AccessPoint = text("internet.\xCC\xD2\xD1");  // Windows-1251 bytes travel as they are
  cfg.AuxText1 = text("a1-");
  cfg.AuxText2 = text("a2\x1A");                   // Ctrl-Z is an ordinary character
  cfg.ServerAddress = text("10.0.0.1:");
  cfg.ReserveAddress = text("10.0.0.2:");
  cfg.AuxText3 = text("a3-");
  cfg.TestPeriod = ++n;
  cfg.ArmDelay = ++n;
  for (auto* group : {&cfg.InputDelay, &cfg.InputType, &cfg.SirenOnInput}) {
    for (int i = 0; i < 7; ++i) (*group)[i] = ++n;  // the eighth is never used
  }
  for (int32_t* value : {&cfg.CallMode, &cfg.AutonomousOff, &cfg.MaxSmsPerDay, &cfg.SirenTime,
                         &cfg.LockPulse, &cfg.OptionFlags, &cfg.AuxValue6, &cfg.ReaderType}) {
    *value = ++n;
  }
  for (int k = 0; k < kEventSlots; ++k) {
    cfg.SmsEvents[k] = k % 3;
    cfg.CallEvents[k] = (k + 1) % 2;
  }
  BuildEventMasks(cfg);
  for (int i = 0; i < 7; ++i) cfg.InputName[i] = text("Input ");
  cfg.AuxValue7 = ++n;
  cfg.VpnAndId = "1654321";
  cfg.DeviceType = ++n;
  cfg.FirmwareVersion = 523;
  return cfg;
}

}  // namespace zarvex
