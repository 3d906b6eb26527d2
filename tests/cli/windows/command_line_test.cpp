// The command line as Windows gives it: wide, whatever the ANSI code page.
#include <gtest/gtest.h>

#include "cli/cli_help.h"
#include "cli/windows/command_line.h"

namespace zarvex::cli {
namespace {

TEST(CommandLineTest, CyrillicArgumentsArriveAsUtf8AndQuotesAsTheRuntimeSplitsThem) {
  std::string error;
  const auto args = ArgumentsOfCommandLine(
      L"zarvex-cli.exe write \"C:\\Объекты\\склад №3.cfg\" --log=журнал.txt --device \"\\\\?\\hid#vid_1209&pid_5a58\"",
      error);
  EXPECT_TRUE(error.empty()) << error;
  const std::vector<std::string> expected = {
      "write", reinterpret_cast<const char*>(u8"C:\\Объекты\\склад №3.cfg"),
      reinterpret_cast<const char*>(u8"--log=журнал.txt"), "--device", "\\\\?\\hid#vid_1209&pid_5a58"};
  EXPECT_EQ(args, expected);
}

TEST(CommandLineTest, AnArgumentThatIsNoUnicodeTextIsRefusedLoudly) {
  std::string error;
  const wchar_t broken[] = {L'x', L' ', L's', L'h', L'o', L'w', L' ', 0xD800, L'.', L'c', L'f', L'g', 0};
  EXPECT_TRUE(ArgumentsOfCommandLine(broken, error).empty());
  EXPECT_NE(error.find("Аргумент 2"), std::string::npos) << error;
}

// cmd and PowerShell take '&' for their own: the help shows the path quoted.
TEST(CommandLineTest, HelpShowsAWindowsDevicePathQuoted) {
  const std::string help = ProgramHelp();
  EXPECT_NE(help.find("--device \"\\\\?\\hid#"), std::string::npos) << help;
  EXPECT_NE(help.find("в двойных кавычках"), std::string::npos);
}

}  // namespace
}  // namespace zarvex::cli
