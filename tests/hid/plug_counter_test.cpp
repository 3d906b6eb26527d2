// Plug counts for systems whose device paths stay the same from plug to plug.
#include <gtest/gtest.h>

#include "hid/plug_counter.h"

namespace zarvex::hid {
namespace {

const std::string kPanel = "\\\\?\\HID#VID_1209&PID_5A58#1";
const std::string kOther = "\\\\?\\HID#VID_046D#2";

// Windows may list an interface before its arrival message; that message
// must not make the listed panel a new device in the middle of a read.
TEST(PlugCounterTest, APathListedBeforeItsArrivalStaysTheSamePlug) {
  TPlugCounter plugs;
  const auto first = plugs.Listed({kPanel, kOther});
  ASSERT_EQ(first.size(), 2u);
  EXPECT_NE(first[0], first[1]);
  EXPECT_EQ(plugs.Listed({kOther, kPanel}), (std::vector<std::string>{first[1], first[0]}));
}

TEST(PlugCounterTest, APathSeenGoneByMessageOrByScanComesBackAsANewPlug) {
  TPlugCounter plugs;
  const std::string before = plugs.Listed({kPanel})[0];
  // Pulled and plugged back between two scans: only the removal message tells.
  plugs.Removed(kPanel);
  const std::string replugged = plugs.Listed({kPanel})[0];
  EXPECT_NE(replugged, before);
  // A removal missed but a scan without it: gone all the same.
  EXPECT_TRUE(plugs.Listed({}).empty());
  const std::string again = plugs.Listed({kPanel})[0];
  EXPECT_NE(again, replugged);
  EXPECT_NE(again, before);
  // A burst of removals before one scan is one new plug, not several.
  plugs.Removed(kPanel);
  plugs.Removed(kPanel);
  const std::string afterBurst = plugs.Listed({kPanel})[0];
  EXPECT_NE(afterBurst, again);
  EXPECT_EQ(plugs.Listed({kPanel})[0], afterBurst);
}

TEST(PlugCounterTest, PathsDifferingOnlyInCaseAreOneDevice) {
  TPlugCounter plugs;
  const std::string upper = plugs.Listed({kPanel})[0];
  plugs.Removed(LowerCasePath(kPanel));
  EXPECT_NE(plugs.Listed({kPanel})[0], upper);
  EXPECT_EQ(plugs.Listed({LowerCasePath(kPanel)}), plugs.Listed({kPanel}));
}

}  // namespace
}  // namespace zarvex::hid
