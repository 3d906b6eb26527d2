// Two configurations set against each other in the window's words.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "report/settings_compare.h"
#include "settings/installer_units.h"

namespace zarvex::report {
namespace {

std::string Plain(const Text& t) { return t; }

std::vector<std::string> Described(const Comparison& c) {
  std::vector<std::string> lines;
  for (const Difference& d : c.differences) lines.push_back(DescribeDifference(d));
  return lines;
}

TEST(SettingsCompareTest, KnownDifferencesInTheInstallersUnitsWithTheCodes) {
  TCFG a, b;
  a.SmsEventMask = b.SmsEventMask = a.CallEventMask = b.CallEventMask = "0000000000000000";
  b.ArmDelay = DelayCode(45);
  a.ArmDelay = DelayCode(30);
  b.InputType[5] = 4;                    // loop 6: "Постановка/Снятие"
  b.CallMode = 7;                        // no text for it
  b.OptionFlags = FlagsOf({false, false, true});
  b.SmsEvents[kOnTamper] = 1;
  b.AuxValue6 = 13;                      // no control
  b.FirmwareVersion = 520;               // the file's own line, no parameter
  b.AccessPoint = "apn";
  const Comparison c = CompareSettings(a, b, Plain);
  EXPECT_EQ(Described(c), (std::vector<std::string>{
                              "Удаленное снятие с охраны (SMS/звонок): «нет» (0) → «да» (4)",
                              "Задержка на постановку (сек.): «30 с» (301) → «45 с» (451)",
                              "Тип входа 6: «Проходной» (0) → «Постановка/Снятие» (4)",
                              "Точка доступа (AP): (пусто) → «apn»",
                              "Входящий звонок: «Стандартный» (0) → «код 7» (7)",
                              "SMS: Вскрытие: «нет» (0) → «да» (1)",
                              "Служебное число 46: «0» → «13»",
                              "Версия прошивки (файл): «0» → «520»",
                          }));
  // Parameters 45, 18, 31, 10, 40, 48, 46; the file's version is none of the 56.
  EXPECT_EQ(c.parametersDiffering, 7);
  EXPECT_EQ(DifferenceCountText(c.parametersDiffering), "Отличаются 7 параметров из 56");
  EXPECT_EQ(DifferenceCountText(1), "Отличается 1 параметр из 56");
  EXPECT_EQ(DifferenceCountText(21), "Отличается 21 параметр из 56");
  EXPECT_EQ(DifferenceCountText(2), "Отличаются 2 параметра из 56");
  EXPECT_EQ(DifferenceCountText(11), "Отличаются 11 параметров из 56");
}

TEST(SettingsCompareTest, CopyingOneFieldTakesOnlyThatField) {
  TCFG ours, theirs;
  ours.OptionFlags = FlagsOf({true, true, false});
  theirs.OptionFlags = FlagsOf({false, false, true});
  theirs.SmsEvents[kOnArm] = 1;
  BuildEventMasks(theirs);
  BuildEventMasks(ours);
  for (const SettingsField& f : SettingsFields()) {
    if (f.label == "Удаленное снятие с охраны (SMS/звонок)" || f.label == "SMS: Постановка под охрану") {
      f.copy(ours, theirs);
    }
  }
  EXPECT_EQ(OptionsOf(ours.OptionFlags).forced, true);  // the other two boxes stay
  EXPECT_EQ(OptionsOf(ours.OptionFlags).voiceReport, true);
  EXPECT_EQ(OptionsOf(ours.OptionFlags).remoteDisarm, true);
  EXPECT_EQ(ours.SmsEventMask, theirs.SmsEventMask);  // the mask follows the slot
  EXPECT_EQ(CompareSettings(ours, ours, Plain).differences.size(), 0u);
}

TEST(SettingsCompareTest, EveryFieldOfTheFileIsListedOnce) {
  std::set<std::string> labels;
  int parameters[57] = {};
  for (const SettingsField& f : SettingsFields()) {
    EXPECT_TRUE(labels.insert(f.label).second) << f.label;
    ++parameters[f.parameter];
  }
  for (int p = 1; p <= 56; ++p) EXPECT_GT(parameters[p], 0) << "parameter " << p;
}

}  // namespace
}  // namespace zarvex::report
