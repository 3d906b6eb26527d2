// What the POSIX file layer keeps that a rename could lose, and devices.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "settings/settings_file.h"
#include "settings/settings_file_error.h"
#include "settings/settings_format.h"

namespace zarvex {
namespace {

namespace fs = std::filesystem;

class PosixFileTest : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directories(dir_); }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_ = fs::temp_directory_path() / ("zarvex-posix-" + std::to_string(::getpid()));
};

// Replacing by rename must not lose what writing in place kept: the file's
// permission bits, and a link that points at the real file.
TEST_F(PosixFileTest, SaveKeepsPermissionsAndLinks) {
  const fs::path real = dir_ / "real.cfg", link = dir_ / "zarvex.cfg";
  std::ofstream(real) << std::string(5000, 'x');
  const auto perms = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
  fs::permissions(real, perms);
  fs::create_symlink(real, link);
  SaveSettingsFile(link.string(), TCFG{});
  EXPECT_TRUE(fs::is_symlink(link));
  std::ifstream in(real, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), FormatSettings(TCFG{}));
  EXPECT_EQ(fs::status(real).permissions() & fs::perms::all, perms);
}

// A device has no size to check up front; reading must stop all the same.
TEST_F(PosixFileTest, AnEndlessDeviceIsRefused) {
  TCFG cfg;
  EXPECT_THROW(LoadSettingsFile("/dev/zero", cfg), SettingsFileError);
  EXPECT_EQ(cfg, TCFG{});
}

}  // namespace
}  // namespace zarvex
