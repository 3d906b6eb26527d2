// The configuration history on disk: names, order, retention, atomic writes.
#include <gtest/gtest.h>

#include <fcntl.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <random>

#include "report/config_history.h"
#include "settings/settings_file.h"
#include "settings/settings_file_error.h"
#include "settings/settings_format.h"

namespace zarvex::report {
namespace {

namespace fs = std::filesystem;

class ConfigHistoryTest : public ::testing::Test {
 protected:
  ConfigHistoryTest() : dir(fs::temp_directory_path() / ("zarvex-history-" + std::to_string(std::random_device{}()))) {}
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
  EXPECT_NE(read.path.find("_000001_read_zx4110_v520.cfg"), std::string::npos);
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

// A clock set back (or the hour repeated when summer time ends) must not
// make the new snapshot the oldest, nor get it pruned the moment it is made.
TEST_F(ConfigHistoryTest, TheNewSnapshotIsNeverPrunedWhateverTheClockSays) {
  ConfigHistory history(dir.string());
  TCFG cfg;
  for (int i = 0; i < 1000; ++i) history.Store(Snapshot::Kind::Read, cfg, 1'800'000'000 + i);
  cfg.AccessPoint = "after the clock went back";
  const Snapshot newest = history.Store(Snapshot::Kind::Write, cfg, 1'700'000'000);
  EXPECT_TRUE(fs::exists(newest.path));
  const auto listed = history.List();
  ASSERT_EQ(listed.size(), ConfigHistory::kKept);
  EXPECT_EQ(listed.front().path, newest.path);
  EXPECT_EQ(listed.back().time, 1'800'000'000 + 1);  // the oldest went instead
}

TEST_F(ConfigHistoryTest, OrderWithinOneSecondIsTheOrderOfStoring) {
  // A snapshot from an older version of the program sorts before all others.
  fs::create_directories(dir);
  const fs::path older = dir / "2026-01-01_10-00-00_read_zarvex-gsm_v430.cfg";
  SaveSettingsFile(older.string(), TCFG{});
  ConfigHistory history(dir.string());
  TCFG cfg;
  std::vector<std::string> stored;
  stored.push_back(history.Store(Snapshot::Kind::Read, cfg, 1'800'000'000).path);
  for (int i = 0; i < 11; ++i) stored.push_back(history.Store(Snapshot::Kind::Write, cfg, 1'800'000'000).path);
  stored.push_back(history.Store(Snapshot::Kind::Read, cfg, 1'800'000'000).path);  // read after write
  const auto listed = history.List();
  ASSERT_EQ(listed.size(), stored.size() + 1);
  for (size_t i = 0; i < stored.size(); ++i) EXPECT_EQ(listed[i].path, stored[stored.size() - 1 - i]) << i;
  EXPECT_EQ(listed.back().path, older.string());
  EXPECT_EQ(history.Predecessor(listed, listed[1])->path, stored[0]);  // not the later read
}

// Another instance of the program takes the same number at the same moment.
TEST_F(ConfigHistoryTest, TwoInstancesStoringTogetherNeverShareAName) {
  struct Rival : FileOps {
    int Open(const char* path, int flags, mode_t mode) override {
      if ((flags & O_EXCL) && !raced) {
        raced = true;
        std::ofstream(path) << "rival";
      }
      return FileOps::Open(path, flags, mode);
    }
    bool raced = false;
  } rival;
  ConfigHistory history(dir.string(), rival);
  const Snapshot mine = history.Store(Snapshot::Kind::Read, TCFG{}, 1'800'000'000);
  EXPECT_EQ(mine.sequence, 2);
  EXPECT_EQ(history.List().size(), 2u);
  std::ifstream theirs(history.List()[1].path);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(theirs), {}), "rival");
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
