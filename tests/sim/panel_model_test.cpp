#include "sim/panel_model.h"

#include <gtest/gtest.h>

#include "host_frames.h"

namespace zarvex::sim {
namespace {

using test::Decode;
using test::HostQuery;
using test::HostWriteNumber;
using test::HostWriteText;

std::vector<Report> Ask(PanelModel& panel, const Report& request) {
  const auto answer = panel.HandleOutputReport(request);
  EXPECT_FALSE(answer.unplug);
  return answer.reports;
}

// One answer expected; its decoded form.
test::Reply AskOne(PanelModel& panel, const Report& request) {
  const auto reports = Ask(panel, request);
  EXPECT_EQ(reports.size(), 1u);
  return reports.empty() ? test::Reply{} : Decode(reports.front());
}

TEST(PanelIdentification, AnswersTypeAndVersionOfEachModel) {
  PanelModel first(PanelKind::First), second(PanelKind::Second);
  const auto type = Ask(first, HostQuery(200));
  ASSERT_EQ(type.size(), 1u);
  const Report expected = {1, 0xDC, 0xEE, 0, 200, 4, 0, 0, 0, 1};
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), type[0].begin()));
  EXPECT_EQ(type[0].size(), 65u);
  EXPECT_EQ(AskOne(first, HostQuery(201)).number, 430);
  EXPECT_EQ(AskOne(second, HostQuery(201)).number, 520);
  EXPECT_EQ(AskOne(second, HostQuery(200)).number, 1);

  PanelModel adjusted(PanelKind::First, 441);
  adjusted.SetDeviceType(2);
  EXPECT_EQ(AskOne(adjusted, HostQuery(201)).number, 441);
  EXPECT_EQ(AskOne(adjusted, HostQuery(200)).number, 2);
}

TEST(PanelParameterQuery, EveryParameterGetsOneWellFormedValueReport) {
  PanelModel panel(PanelKind::First);
  for (int p = 1; p <= 56; ++p) {
    const auto reply = AskOne(panel, HostQuery(uint8_t(p)));
    EXPECT_TRUE(reply.wellFormed) << p;
    EXPECT_EQ(reply.kind, 0) << p;
    EXPECT_EQ(reply.code, p);
  }
}

TEST(PanelParameterQuery, NumbersAreBigEndianFromByteSix) {
  PanelModel panel(PanelKind::First);
  const auto reports = Ask(panel, HostQuery(17));  // test period 720 min
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(Report(reports[0].begin() + 6, reports[0].begin() + 10), (Report{0, 0, 2, 208}));

  panel.Configuration().SetNumber(25, -2);
  const auto negative = Ask(panel, HostQuery(25));
  EXPECT_EQ(negative[0][6], 0xFF);
  EXPECT_EQ(negative[0][9], 0xFE);
  EXPECT_EQ(Decode(negative[0]).number, -2);
}

TEST(PanelParameterQuery, TextsCarryTheirLengthAndMasksSixteenCharacters) {
  PanelModel panel(PanelKind::First);
  const auto codes = Ask(panel, HostQuery(1));
  EXPECT_EQ(codes[0][5], 44);
  EXPECT_EQ(Decode(codes[0]).text, "1234123412341234123412341234123412341234" "0000");
  EXPECT_EQ(codes[0][6 + 44], 0);  // nothing beyond the text

  const auto sms = Ask(panel, HostQuery(48));
  EXPECT_EQ(std::string(sms[0].begin() + 6, sms[0].begin() + 22), "1111111111111100");
  EXPECT_EQ(AskOne(panel, HostQuery(49)).text, "0111111000000000");
  EXPECT_EQ(AskOne(panel, HostQuery(56)).text, "Tamper");
  EXPECT_EQ(AskOne(panel, HostQuery(11)).text, "");

  // Bytes 6..64 are all a reply can hold.
  panel.Configuration().SetText(10, std::string(70, 'a'));
  const auto longText = Ask(panel, HostQuery(10));
  EXPECT_EQ(longText[0][5], 59);
  EXPECT_EQ(longText[0].size(), 65u);
}

TEST(PanelParameterWrite, StoresNumbersFromBytesSevenToTenAndAcknowledges) {
  PanelModel panel(PanelKind::First);
  const auto ack = Ask(panel, HostWriteNumber(18, 65531));
  ASSERT_EQ(ack.size(), 1u);
  Report expected{1, 0xDC, 0xEE, 1, 18};
  expected.resize(65);
  EXPECT_EQ(ack[0], expected);
  EXPECT_EQ(panel.Configuration().Number(18), 65531);
  Ask(panel, HostWriteNumber(19, 0x01020304));
  EXPECT_EQ(panel.Configuration().Number(19), 0x01020304);
  EXPECT_EQ(AskOne(panel, HostQuery(18)).number, 65531);
}

TEST(PanelParameterWrite, StoresTextsByTheirLengthByteNotTheLeftoverBytes) {
  PanelModel panel(PanelKind::First);
  auto request = HostWriteText(10, "internet.beeline.ru");
  request[6] = 8;  // the rest of the text is now leftover bytes
  EXPECT_EQ(AskOne(panel, request).kind, 1);
  EXPECT_EQ(panel.Configuration().Text(10), "internet");

  Ask(panel, HostWriteText(2, std::string(58, '7')));
  EXPECT_EQ(panel.Configuration().Text(2), std::string(58, '7'));

  // A length byte past the end of the report reads no further than the report.
  auto overlong = HostWriteText(3, std::string(58, '5'));
  overlong[6] = 200;
  Ask(panel, overlong);
  EXPECT_EQ(panel.Configuration().Text(3), std::string(58, '5'));
}

TEST(PanelParameterWrite, MasksAreKeptAtSixteenCharacters) {
  PanelModel panel(PanelKind::Second);
  Ask(panel, HostWriteText(48, "101"));
  EXPECT_EQ(panel.Configuration().Text(48), "1010000000000000");
  Ask(panel, HostWriteText(49, "1111111111111111"));
  EXPECT_EQ(AskOne(panel, HostQuery(49)).text, "1111111111111111");
}

TEST(PanelParameterWrite, ValueOfTheWrongTypeIsRefused) {
  PanelModel panel(PanelKind::First);
  EXPECT_TRUE(Ask(panel, HostWriteText(17, "720")).empty());
  EXPECT_TRUE(Ask(panel, HostWriteNumber(13, 5)).empty());
  EXPECT_EQ(panel.Configuration(), PanelConfiguration::Factory());
}

TEST(PanelDamagedRequest, GetsNoAnswerButIsRecorded) {
  PanelModel panel(PanelKind::First);
  auto damaged = [](std::size_t at, uint8_t value) {
    auto r = HostQuery(17);
    r[at] = value;
    return r;
  };
  const Report tooShort = {1, 0xDC, 0xED, 0x20, 17};
  auto numberCut = HostWriteNumber(17, 5);
  numberCut.resize(9);
  // wrong report ID, wrong direction, wrong class, too short, number cut off
  for (const auto& request :
       {damaged(0, 2), damaged(2, 0xEE), damaged(3, 0x30), tooShort, numberCut}) {
    EXPECT_TRUE(Ask(panel, request).empty());
  }
  EXPECT_TRUE(Ask(panel, HostQuery(57)).empty());
  EXPECT_TRUE(Ask(panel, HostQuery(0)).empty());
  ASSERT_EQ(panel.ReceivedReports().size(), 7u);
  EXPECT_EQ(panel.ReceivedReports()[3], tooShort);
  EXPECT_EQ(panel.Configuration(), PanelConfiguration::Factory());
}

}  // namespace
}  // namespace zarvex::sim
