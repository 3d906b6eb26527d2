#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "distinct_record.h"
#include "settings/settings_format.h"

namespace zarvex {
namespace {

std::vector<std::string> SplitCrLf(const std::string& s) {
  std::vector<std::string> lines;
  size_t pos = 0;
  for (size_t end; (end = s.find("\r\n", pos)) != std::string::npos; pos = end + 2)
    lines.push_back(s.substr(pos, end - pos));
  EXPECT_EQ(pos, s.size()) << "text after the last CR LF";
  return lines;
}

std::string Join(const std::vector<std::string>& lines, const char* end = "\r\n") {
  std::string s;
  for (const auto& line : lines) s += line + end;
  return s;
}

std::vector<std::string> DistinctLines() { return SplitCrLf(FormatSettings(DistinctRecord())); }

TCFG Parsed(const std::string& contents, TCFG cfg = {}) {
  ParseSettings(contents, cfg);
  return cfg;
}

TEST(SettingsFormat, RoundTripOfEveryFieldIsExact) {
  EXPECT_EQ(Parsed(FormatSettings(DistinctRecord())), DistinctRecord());
}

TEST(SettingsFormat, WritesSixtyOneCrLfLinesInTheirOrder) {
  TCFG cfg = DistinctRecord();
  cfg.AuxValue1 = -5;
  cfg.KeypadCode[0] = "12";  // a short code shifts the rest of the line
  const auto lines = SplitCrLf(FormatSettings(cfg));
  ASSERT_EQ(lines.size(), 61u);
  const std::pair<size_t, std::string> expected[] = {
      {0, std::to_string(cfg.DeviceType)}, {1, "523"},
      {2, "0000" "12" "100210031004100510061007100810091010"}, {3, cfg.Phone[0]}, {11, "-5"},
      {13, cfg.AccessPoint}, {27, std::to_string(cfg.AuxValue3())},
      {34, std::to_string(cfg.AuxValue4())}, {41, std::to_string(cfg.AuxValue5())},
      {49, std::to_string(cfg.ReaderType)}, {50, cfg.SmsEventMask}, {51, cfg.CallEventMask},
      {58, cfg.TamperName()}, {59, std::to_string(cfg.AuxValue7)}, {60, "1654321"}};
  for (const auto& [index, text] : expected) EXPECT_EQ(lines[index], text) << "line " << index + 1;
}

TEST(SettingsFormat, LineBreaksInTextsBecomeBlanksSoTheFileKeepsItsLines) {
  TCFG cfg = DistinctRecord();
  cfg.AuxText1 = "OK\r\n+CSQ: 21\n";  // a panel reply may carry them
  cfg.TamperName() = "a\rb";
  const TCFG loaded = Parsed(FormatSettings(cfg));
  EXPECT_EQ(loaded.AuxText1, "OK  +CSQ: 21 ");
  EXPECT_EQ(loaded.TamperName(), "a b");
  EXPECT_EQ(loaded.VpnAndId, cfg.VpnAndId);  // nothing after them moved
}

TEST(SettingsFormat, IntegerLinesReadOnlyTheirDigits) {
  auto lines = DistinctLines();
  lines[11] = "-5";
  lines[12] = "3 0";
  lines[19] = "";
  const TCFG cfg = Parsed(Join(lines));
  EXPECT_EQ(cfg.AuxValue1, 5);
  EXPECT_EQ(cfg.AuxValue2, 30);
  EXPECT_EQ(cfg.TestPeriod, 0);
}

TEST(SettingsReadingRules, LfOnlyLineEndsReadLikeCrLf) {
  EXPECT_EQ(Parsed(Join(DistinctLines(), "\n")), DistinctRecord());
}

TEST(SettingsReadingRules, StrayCrsAreDroppedAndLastLineNeedsNoEnd) {
  auto lines = DistinctLines();
  lines[3] = "\r+7\r900\r\r";
  lines[60] = "0\r42";
  std::string contents = Join(lines);
  contents.resize(contents.size() - 2);  // no line end after line 61
  const TCFG cfg = Parsed(contents);
  EXPECT_EQ(cfg.Phone[0], "+7900");
  EXPECT_EQ(cfg.VpnAndId, "042");
}

TEST(SettingsReadingRules, ShortCodeLineFillsTheCodesItReaches) {
  auto lines = DistinctLines();
  lines[2] = std::string(40, '7').replace(36, 4, "1239");
  TCFG cfg = Parsed(Join(lines), DistinctRecord());
  EXPECT_EQ(cfg.KeypadCode0, "7777");
  EXPECT_EQ(cfg.KeypadCode[8], "1239");
  EXPECT_EQ(cfg.KeypadCode[9], "");

  lines[2] = "123456" + std::string(50, 'x');  // a part span, and surplus ignored
  ParseSettings(Join(lines), cfg);
  EXPECT_EQ(cfg.KeypadCode0, "1234");
  EXPECT_EQ(cfg.KeypadCode[0], "56xx");
  EXPECT_EQ(cfg.KeypadCode[9], "xxxx");
}

TEST(SettingsReadingRules, FileOfFiftyTwoLinesEmptiesTheRest) {
  auto lines = DistinctLines();
  lines.resize(52);
  const TCFG cfg = Parsed(Join(lines), DistinctRecord());
  for (int i = 0; i < 7; ++i) EXPECT_EQ(cfg.InputName[i], "") << i;
  EXPECT_EQ(cfg.AuxValue7, 0);
  EXPECT_EQ(cfg.VpnAndId, "");
  EXPECT_EQ(cfg.CallEventMask, DistinctRecord().CallEventMask);
  EXPECT_EQ(cfg.CallEvents, DistinctRecord().CallEvents);
}

TEST(SettingsReadingRules, LinesHaveNoLengthLimit) {
  auto lines = DistinctLines();
  lines[13] = std::string(200000, 'A');
  const TCFG cfg = Parsed(Join(lines));
  EXPECT_EQ(cfg.AccessPoint.size(), 200000u);
  EXPECT_EQ(cfg.AuxText1, DistinctRecord().AuxText1);
}

}  // namespace
}  // namespace zarvex
