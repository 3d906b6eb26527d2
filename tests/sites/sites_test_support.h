#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "settings/settings_format.h"
#include "sites/site_store.h"

namespace zarvex::sites::test {

namespace fs = std::filesystem;

inline std::string Utf8(const fs::path& p) {
  const std::u8string text = p.u8string();
  return std::string(text.begin(), text.end());
}

// A folder of its own for each test, with a Cyrillic name as a Russian
// user's profile has.
class SitesTest : public ::testing::Test {
 protected:
  SitesTest() {
    dir = fs::temp_directory_path() / fs::path(u8"объекты-тест") /
          (::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  ~SitesTest() override {
    std::error_code ignored;
    fs::remove_all(dir, ignored);
  }
  std::string Path(const char8_t* name) const { return Utf8(dir / fs::path(name)); }

  // A panel's configuration as a read leaves it.
  static std::string PanelFile(const std::string& id, const std::string& server = "*",
                               const std::string& check = "*", int firmware = 430, const std::string& apn = "apn") {
    TCFG cfg;
    cfg.Phone.fill("*");
    cfg.Phone[0] = server;
    cfg.Phone[7] = check;
    cfg.VpnAndId = "1" + id;
    cfg.FirmwareVersion = firmware;
    cfg.AccessPoint = apn;
    return FormatSettings(cfg);
  }

  fs::path dir;
};

}  // namespace zarvex::sites::test
