#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "hid/report_descriptor.h"

namespace zarvex::hid::test {
namespace {

struct Recorded {
  std::string name;
  std::vector<uint8_t> descriptor;
  bool usesReportIds = false;
  int largestInput = 0, largestOutput = 0, largestFeature = 0;
  int inputByteLength = 0, outputByteLength = 0;
};

std::vector<uint8_t> FromHex(const std::string& hex) {
  std::vector<uint8_t> bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) bytes.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return bytes;
}

// The recorded file is a flat list of objects; a field pattern is all it takes.
std::vector<Recorded> LoadRecorded() {
  std::ifstream in(ZARVEX_HID_TEST_DATA "/descriptors.json");
  std::stringstream text;
  text << in.rdbuf();
  const std::string all = text.str();
  std::vector<Recorded> result;
  const std::regex object(R"(\{[^{}]*\})");
  auto field = [](const std::string& obj, const std::string& key) {
    std::smatch m;
    const std::regex re("\"" + key + R"re("\s*:\s*("([^"]*)"|true|false|-?[0-9]+))re");
    if (!std::regex_search(obj, m, re)) return std::string();
    return m[2].matched ? m[2].str() : m[1].str();
  };
  for (auto it = std::sregex_iterator(all.begin(), all.end(), object); it != std::sregex_iterator(); ++it) {
    const std::string obj = it->str();
    Recorded r;
    r.name = field(obj, "name");
    r.descriptor = FromHex(field(obj, "descriptor_hex"));
    r.usesReportIds = field(obj, "uses_report_ids") == "true";
    r.largestInput = std::stoi(field(obj, "largest_input_report_bytes"));
    r.largestOutput = std::stoi(field(obj, "largest_output_report_bytes"));
    r.largestFeature = std::stoi(field(obj, "largest_feature_report_bytes"));
    r.inputByteLength = std::stoi(field(obj, "input_report_byte_length"));
    r.outputByteLength = std::stoi(field(obj, "output_report_byte_length"));
    result.push_back(r);
  }
  return result;
}

TEST(ReportDescriptor, GivesTheRecordedLengthsOfEveryRealDevice) {
  const auto recorded = LoadRecorded();
  ASSERT_EQ(recorded.size(), 10u);
  for (const auto& r : recorded) {
    SCOPED_TRACE(r.name);
    ASSERT_FALSE(r.descriptor.empty());
    const auto lengths = ParseReportLengths(r.descriptor.data(), r.descriptor.size());
    EXPECT_EQ(lengths.usesReportIds, r.usesReportIds);
    EXPECT_EQ(static_cast<int>(lengths.largestInput), r.largestInput);
    EXPECT_EQ(static_cast<int>(lengths.largestOutput), r.largestOutput);
    EXPECT_EQ(static_cast<int>(lengths.largestFeature), r.largestFeature);
    EXPECT_EQ(lengths.InputReportByteLength(), r.inputByteLength);
    EXPECT_EQ(lengths.OutputReportByteLength(), r.outputByteLength);
  }
}

// The panel: vendor page, report ID 1, 64-byte input and output reports.
const std::vector<uint8_t> kPanelDescriptor = {
    0x06, 0x00, 0xFF,  // Usage Page (vendor)
    0x09, 0x01,        // Usage
    0xA1, 0x01,        // Collection (Application)
    0x85, 0x01,        //   Report ID 1
    0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08, 0x95, 0x40,
    0x09, 0x01, 0x81, 0x02,  // Input
    0x09, 0x01, 0x91, 0x02,  // Output
    0xC0,
};

TEST(ReportDescriptor, PanelLayoutGives65And65) {
  const auto lengths = ParseReportLengths(kPanelDescriptor.data(), kPanelDescriptor.size());
  EXPECT_TRUE(lengths.usesReportIds);
  EXPECT_EQ(lengths.InputReportByteLength(), 65);
  EXPECT_EQ(lengths.OutputReportByteLength(), 65);
  EXPECT_EQ(lengths.FeatureReportByteLength(), 0);
}

TEST(ReportDescriptor, TruncatedItemsEndTheParseWithoutReadingPastTheEnd) {
  std::vector<uint8_t> d = kPanelDescriptor;
  d.pop_back();
  d.push_back(0x96);  // Report Count with two data bytes, only one present
  d.push_back(0x40);
  const auto lengths = ParseReportLengths(d.data(), d.size());
  EXPECT_EQ(lengths.InputReportByteLength(), 65);
  const std::vector<uint8_t> longItem = {0xFE, 0x20, 0x00};  // long item claiming 32 bytes
  EXPECT_EQ(ParseReportLengths(longItem.data(), longItem.size()).InputReportByteLength(), 0);
  EXPECT_EQ(ParseReportLengths(nullptr, 0).InputReportByteLength(), 0);
}

TEST(ReportDescriptor, ReportsOverSixtyFiveThousandBytesAreNotCounted) {
  const std::vector<uint8_t> d = {
      0x85, 0x01, 0x75, 0x08, 0x95, 0x10, 0x81, 0x02,                    // report 1: 16 bytes
      0x85, 0x02, 0x75, 0x20, 0x97, 0xFF, 0xFF, 0xFF, 0x00, 0x81, 0x02,  // report 2: 64 MiB
  };
  const auto lengths = ParseReportLengths(d.data(), d.size());
  EXPECT_EQ(lengths.largestInput, 16u);
  EXPECT_EQ(lengths.InputReportByteLength(), 17);
}

}  // namespace
}  // namespace zarvex::hid::test

// A panel-like device with a second, longer output report: report 1 keeps
// its own length, while the buffer for input still fits the largest.
TEST(ReportDescriptor, EachReportIdKeepsItsOwnLength) {
  const std::vector<uint8_t> d = {
      0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01,
      0x85, 0x01, 0x75, 0x08, 0x95, 0x40, 0x09, 0x02, 0x81, 0x02, 0x09, 0x03, 0x91, 0x02,
      0x85, 0x02, 0x96, 0x80, 0x00, 0x09, 0x04, 0x91, 0x02,  // report 2: 128 bytes out
      0xC0};
  const auto l = zarvex::hid::ParseReportLengths(d.data(), d.size());
  EXPECT_EQ(l.OutputReportByteLength(), 129);
  EXPECT_EQ(l.OutputReportByteLengthOf(1), 65);
  EXPECT_EQ(l.OutputReportByteLengthOf(2), 129);
  EXPECT_EQ(l.OutputReportByteLengthOf(7), 129);  // unknown: the largest
  EXPECT_EQ(l.InputReportByteLength(), 65);
}
