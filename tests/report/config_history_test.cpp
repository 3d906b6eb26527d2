// The configuration history on disk: names, order, retention, atomic writes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "report/config_history.h"
#include "settings/settings_file_error.h"
#include "settings/settings_format.h"

namespace zarvex::report {
namespace {

namespace fs = std::filesystem;

class ConfigHistoryTest : public ::testing::Test {
 protected:
  ConfigHistoryTest() : dir(fs::temp_directory_path() / ("zarvex-history-" + std::to_string(::getpid()))) {}
  ~ConfigHistoryTest() override { fs::remove_all(dir); }
  fs::path dir;
};

TEST_F(ConfigHistoryTest, SnapshotsAreSettingsFilesNamedByTimeKindModelAndVersion) {
  ConfigHistory history(dir.string());
  TCFG cfg;
  cfg.FirmwareVersion = 520;
  cfg.AccessPoint = "apn";
  const Snapshot read = history.Store(Snapshot::Kind::Read, cfg, 1'800'000'000);
  cfg.AccessPoint = "changed";
  const Snapshot write = history.Store(Snapshot::Kind::Write, cfg, 1'800'000'000);  // same second
  EXPECT_NE(read.path, write.path);
  EXPECT_NE(read.path.find("_read_zx4110_v520.cfg"), std::string::npos);
  const auto listed = history.List();
  ASSERT_EQ(listed.size(), 2u);
  EXPECT_EQ(listed[0].path, write.path);  // newest first
  EXPECT_EQ(listed[0].time, 1'800'000'000);
  EXPECT_EQ(FormatSettings(history.Load(listed[0])), FormatSettings(cfg));
  EXPECT_EQ(history.Predecessor(listed, listed[0])->path, read.path);
  EXPECT_EQ(history.Predecessor(listed, listed[1]), nullptr);
}

TEST_F(ConfigHistoryTest, TheNewestThousandAreKept) {
  ConfigHistory history(dir.string());
  TCFG cfg;
  for (int i = 0; i < 1005; ++i) history.Store(Snapshot::Kind::Read, cfg, 1'700'000'000 + i * 60);
  const auto listed = history.List();
  ASSERT_EQ(listed.size(), ConfigHistory::kKept);
  EXPECT_EQ(listed.front().time, 1'700'000'000 + 1004 * 60);
  EXPECT_EQ(listed.back().time, 1'700'000'000 + 5 * 60);
}

// A disk that fills up half way: the snapshot fails loudly and leaves
// nothing half-written behind.
TEST_F(ConfigHistoryTest, AFailedWriteLeavesNoPartialSnapshot) {
  struct FullDisk : FileOps {
    ssize_t Write(int fd, const void* data, size_t size) override {
      if (wrote) {
        errno = ENOSPC;
        return -1;
      }
      wrote = true;
      return FileOps::Write(fd, data, size / 2);
    }
    bool wrote = false;
  } full;
  ConfigHistory history(dir.string(), full);
  EXPECT_THROW(history.Store(Snapshot::Kind::Write, TCFG{}, 1'800'000'000), SettingsFileError);
  EXPECT_TRUE(history.List().empty());
  EXPECT_TRUE(fs::is_empty(dir));
}

}  // namespace
}  // namespace zarvex::report
