#include <gtest/gtest.h>

#include <climits>
#include <initializer_list>
#include <utility>
#include <vector>

#include "settings/russian_plural.h"
#include "settings/settings_file.h"
#include "settings/settings_format.h"
#include "settings/tcfg.h"

namespace zarvex {
namespace {

using DigitsCase = std::pair<const char*, int32_t>;

void ExpectDigits(std::initializer_list<DigitsCase> cases) {
  for (const auto& [text, value] : cases) EXPECT_EQ(DigitsToInt(text), value) << '"' << text << '"';
}

TEST(DigitsToInt, KeepsOnlyTheDigits) {
  // Bytes above 0x7F are not digits.
  ExpectDigits({{"", 0}, {"12:30", 1230}, {"-7", 7}, {" 0 4", 4}, {"\xB9" "5\xC0", 5}});
}

TEST(DigitsToInt, WrapsAroundIn32Bits) {
  // 10^20 mod 2^32 = 1661992960: wraps many times over, never overflows.
  ExpectDigits({{"2147483647", INT32_MAX}, {"2147483648", INT32_MIN}, {"4294967295", -1},
                {"4294967296", 0}, {"4294967301", 5}, {"100000000000000000000", 1661992960}});
}

TEST(EventMasks, OtherValuesThanZeroAndOneSurviveBothWays) {
  TCFG cfg;
  cfg.SmsEvents[3] = 2;
  cfg.CallEvents[15] = 1;
  BuildEventMasks(cfg);
  EXPECT_EQ(cfg.SmsEventMask, "0002000000000000");
  EXPECT_EQ(cfg.CallEventMask, "0000000000000001");

  cfg.SmsEventMask = "2 1\xC0" "000000000000";
  SplitEventMasks(cfg);
  // 0xC0 gives the byte's code, not a negative char.
  EXPECT_EQ(std::vector<int32_t>(cfg.SmsEvents.begin(), cfg.SmsEvents.begin() + 4),
            (std::vector<int32_t>{2, ' ' - '0', 1, 0xC0 - '0'}));
}

TEST(EventMasks, BuildTakesTheCodeModulo256WithoutOverflow) {
  TCFG cfg;
  cfg.SmsEvents[0] = INT32_MAX;  // 48 + INT32_MAX must not be signed arithmetic
  cfg.SmsEvents[1] = -48;
  cfg.CallEvents[0] = 256 + 1;
  BuildEventMasks(cfg);
  ASSERT_EQ(cfg.SmsEventMask.size(), 16u);
  EXPECT_EQ(static_cast<unsigned char>(cfg.SmsEventMask[0]), (48u + 0x7FFFFFFFu) % 256u);
  EXPECT_EQ(cfg.SmsEventMask[1], '\0');
  EXPECT_EQ(cfg.CallEventMask[0], '1');
}

TEST(EventMasks, ShortMaskLeavesMissingSlotsZero) {
  TCFG cfg;
  cfg.SmsEvents.fill(7);
  cfg.CallEvents.fill(7);
  cfg.SmsEventMask = "111";
  cfg.CallEventMask = "";
  SplitEventMasks(cfg);
  for (int k = 0; k < kEventSlots; ++k) {
    EXPECT_EQ(cfg.SmsEvents[k], k < 3 ? 1 : 0) << "slot " << k;
    EXPECT_EQ(cfg.CallEvents[k], 0) << "slot " << k;
  }
}

}  // namespace
}  // namespace zarvex

namespace zarvex {
namespace {

TEST(RussianPluralTest, EveryCountTakesItsForm) {
  const std::pair<long, const char*> cases[] = {
      {1, "1 параметр"},     {2, "2 параметра"},     {4, "4 параметра"},     {5, "5 параметров"},
      {11, "11 параметров"}, {12, "12 параметров"},  {14, "14 параметров"},  {21, "21 параметр"},
      {22, "22 параметра"},  {25, "25 параметров"},  {101, "101 параметр"},  {111, "111 параметров"},
      {0, "0 параметров"}};
  for (const auto& [n, text] : cases) EXPECT_EQ(Counted(n, "параметр", "параметра", "параметров"), text);
  EXPECT_EQ(ShortFileWarning(12), "В файле 12 строк из 61: недостающие значения взяты пустыми");
  EXPECT_EQ(ShortFileWarning(1), "В файле 1 строка из 61: недостающие значения взяты пустыми");
  EXPECT_EQ(ShortFileWarning(61), "");
  EXPECT_EQ(CountSettingsLines("a\r\nb\r\nc"), 3);
  EXPECT_EQ(CountSettingsLines("a\r\nb\r\n"), 2);
}

}  // namespace
}  // namespace zarvex
