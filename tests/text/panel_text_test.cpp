// The panel's code page gives the same characters on every system: all 256
// bytes against what the Linux build's system codec decoded, kept in a file.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "text/panel_text.h"

namespace zarvex {
namespace {

TEST(PanelTextTest, EveryByteDecodesAsOnLinuxAndEncodesBack) {
  std::ifstream table(ZARVEX_CP1251_TABLE);
  ASSERT_TRUE(table) << ZARVEX_CP1251_TABLE;
  int checked = 0;
  for (std::string line; std::getline(table, line);) {
    unsigned byte = 0, unit = 0;
    std::istringstream(line) >> std::hex >> byte >> unit;
    const std::string one(1, static_cast<char>(byte));
    const QString decoded = FromPanelText(one);
    ASSERT_EQ(decoded.size(), 1);
    EXPECT_EQ(decoded[0].unicode(), unit) << "byte " << byte;
    EXPECT_EQ(ToPanelText(decoded), one) << "byte " << byte;
    ++checked;
  }
  EXPECT_EQ(checked, 256);
  EXPECT_EQ(ToPanelText(QStringLiteral("Охрана")), "\xCE\xF5\xF0\xE0\xED\xE0");
  EXPECT_EQ(ToPanelText(QStringLiteral("日本")), "??");  // nothing in the code page
}

}  // namespace
}  // namespace zarvex
