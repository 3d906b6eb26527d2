// The settings file on Windows: Cyrillic paths, a read-only file replaced as
// POSIX would, a file another program holds open, and no CR added.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "settings/settings_file.h"
#include "settings/settings_file_error.h"
#include "settings/settings_format.h"

namespace zarvex {
namespace {

namespace fs = std::filesystem;

std::string Utf8(const fs::path& p) {
  const std::u8string text = p.u8string();
  return std::string(text.begin(), text.end());
}

std::string Slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

class WindowsFileTest : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directories(dir_); }
  void TearDown() override {
    std::error_code ignored;
    for (const auto& e : fs::recursive_directory_iterator(dir_, ignored)) {
      SetFileAttributesW(e.path().c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    fs::remove_all(dir_, ignored);
  }
  // A user and a folder named in Russian.
  fs::path dir_ = fs::temp_directory_path() / fs::path(u8"зарвекс-Пользователь") / fs::path(u8"Объект №3");
};

TEST_F(WindowsFileTest, CyrillicPathsSaveTwiceAndLoadBackByteForByte) {
  const fs::path file = dir_ / fs::path(u8"склад.cfg");
  TCFG cfg;
  cfg.AccessPoint = "apn";
  SaveSettingsFile(Utf8(file), cfg);
  cfg.AccessPoint = "second";
  SaveSettingsFile(Utf8(file), cfg);  // a rename onto an existing file
  EXPECT_EQ(Slurp(file), FormatSettings(cfg));  // CR LF as formatted, no CR added
  TCFG loaded;
  EXPECT_EQ(LoadSettingsFile(Utf8(file), loaded), kSettingsFileLines);
  EXPECT_EQ(loaded.AccessPoint, "second");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), {}), 1);  // no temporary left
}

TEST_F(WindowsFileTest, AReadOnlyFileIsReplacedAndStaysReadOnly) {
  const fs::path file = dir_ / "zarvex.cfg";
  std::ofstream(file) << "old";
  SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY);
  SaveSettingsFile(Utf8(file), TCFG{});
  EXPECT_EQ(Slurp(file), FormatSettings(TCFG{}));
  EXPECT_TRUE(GetFileAttributesW(file.c_str()) & FILE_ATTRIBUTE_READONLY);
}

TEST_F(WindowsFileTest, AFileAnotherProgramHoldsIsToldAndKept) {
  const fs::path file = dir_ / "zarvex.cfg";
  std::ofstream(file, std::ios::binary) << "kept";
  // Opened without sharing, as an editor that locks its file does.
  HANDLE held = CreateFileW(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  try {
    SaveSettingsFile(Utf8(file), TCFG{});
    ADD_FAILURE() << "the save claimed success";
  } catch (const SettingsFileError& e) {
    EXPECT_NE(std::string(e.what()).find("другой программой"), std::string::npos) << e.what();
  }
  CloseHandle(held);
  EXPECT_EQ(Slurp(file), "kept");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), {}), 1);
}

// A scanner or OneDrive holds the file a moment after it changes: the save
// waits it out instead of telling a failure.
TEST_F(WindowsFileTest, AFileHeldForAMomentIsReplacedOnceLetGo) {
  const fs::path file = dir_ / fs::path(u8"объект.cfg");
  std::ofstream(file, std::ios::binary) << "old";
  HANDLE held = CreateFileW(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  std::thread scanner([held] {
    Sleep(400);
    CloseHandle(held);
  });
  TCFG cfg;
  cfg.AccessPoint = "after.scan";
  EXPECT_NO_THROW(SaveSettingsFile(Utf8(file), cfg));
  scanner.join();
  EXPECT_EQ(Slurp(file), FormatSettings(cfg));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), {}), 1);
}

// A name that is not UTF-8 would reach Windows changed; it fails instead.
TEST_F(WindowsFileTest, ANameThatIsNotUtf8IsRefusedNotMangled) {
  const std::string cp1251 = Utf8(dir_) + "\\\xEE\xE1\xFA\xE5\xEA\xF2.cfg";  // "объект" in cp1251
  EXPECT_THROW(SaveSettingsFile(cp1251, TCFG{}), SettingsFileError);
  TCFG cfg;
  EXPECT_THROW(LoadSettingsFile(cp1251, cfg), SettingsFileError);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), {}), 0);
}

}  // namespace
}  // namespace zarvex
