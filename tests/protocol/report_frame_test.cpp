#include "protocol/report_frame.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zarvex::protocol {
namespace {

using Bytes = std::vector<uint8_t>;

// Bytes [from, to) of a report, by the report's own numbering.
template <typename AnyReport>
Bytes Span(const AnyReport& report, int from, int to) {
  Bytes bytes;
  for (int k = from; k < to; ++k) bytes.push_back(report[k]);
  return bytes;
}

TEST(OutReportNumber, SevenHundredTwentyIsBigEndianInBytesNineAndTen) {
  OutReport out;
  out.PutNumber(720);
  EXPECT_EQ(Span(out, 5, 11), (Bytes{3, 4, 0, 0, 2, 208}));
}

TEST(OutReportNumber, BitsAboveFifteenAreNotSentAndNegativesTruncateTowardZero) {
  OutReport out;
  out.PutNumber(65536 + 258);  // 0x10102: only 0x0102 travels
  EXPECT_EQ(Span(out, 9, 11), (Bytes{1, 2}));
  out.PutNumber(-1);
  EXPECT_EQ(Span(out, 9, 11), (Bytes{0x00, 0xFF}));
}

TEST(OutReportText, SixtyCharactersAreCutToFiftyEightAndNothingBeyondIsTouched) {
  OutReport out;
  out.PutNumber(0);  // leaves 0 in bytes 7..10
  std::string text;
  for (int k = 0; k < 60; ++k) text += static_cast<char>('A' + k % 26);
  out.PutText(text);
  EXPECT_EQ(Span(out, 5, 7), (Bytes{4, 58}));
  EXPECT_EQ(Span(out, 7, 65), Bytes(text.begin(), text.begin() + 58));
  EXPECT_EQ(out[64], static_cast<uint8_t>(text[57]));
}

TEST(OutReportText, ShorterTextLeavesEarlierBytesInPlace) {
  OutReport out;
  out.PutText("ABCDEFGH");
  out.PutText("xy");
  EXPECT_EQ(Span(out, 6, 10), (Bytes{2, 'x', 'y', 'C'}));  // 'C' is never cleared
  out.PutText("\xC0\xFF");  // single-byte Cyrillic and 0xFF travel as they are
  EXPECT_EQ(Span(out, 7, 9), (Bytes{0xC0, 0xFF}));
}

TEST(InReportNumber, DecodesSignedBigEndian) {
  InReport in;
  const uint8_t bytes720[] = {0xDC, 0xEE, 0, 17, 0, 0, 0, 2, 208};
  in.Store(bytes720, sizeof bytes720);
  EXPECT_EQ(in.GetNumber(), 720);
  const uint8_t allOnes[] = {0xDC, 0xEE, 0, 17, 0, 0xFF, 0xFF, 0xFF, 0xFF};
  in.Store(allOnes, sizeof allOnes);
  EXPECT_EQ(in.GetNumber(), -1);
}

TEST(InReportText, LengthZeroIsEmptyAndLengthBeyondTheReportStopsAtByte64) {
  InReport in;
  uint8_t bytes[64] = {0xDC, 0xEE, 0, 10, 0};
  for (int k = 5; k < 64; ++k) bytes[k] = static_cast<uint8_t>('a' + k % 26);
  in.Store(bytes, 64);
  EXPECT_EQ(in.GetText(), "");
  bytes[4] = 255;
  in.Store(bytes, 64);
  const std::string text = in.GetText();
  ASSERT_EQ(text.size(), 59u);
  EXPECT_EQ(static_cast<uint8_t>(text.back()), bytes[63]);
}

TEST(InReportStore, ShortReportKeepsEarlierBytesAndLongOneIsCutAt64) {
  InReport in;
  uint8_t full[70];
  for (int k = 0; k < 70; ++k) full[k] = static_cast<uint8_t>(k + 1);
  EXPECT_EQ(in.Store(full, 70), 64);
  EXPECT_EQ(in[64], 64);
  const uint8_t shortOne[] = {0xDC, 0xEE};
  EXPECT_EQ(in.Store(shortOne, 2), 2);
  EXPECT_EQ(in[1], 0xDC);
  EXPECT_EQ(in[3], 3);
  EXPECT_EQ(in.Store(nullptr, 5), 0);
  EXPECT_EQ(in.Store(full, -3), 0);
  EXPECT_EQ(in[1], 0xDC);
}

}  // namespace
}  // namespace zarvex::protocol
