#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "distinct_record.h"
#include "settings/file_system.h"
#include "settings/settings_file.h"
#include "settings/settings_format.h"

namespace zarvex {
namespace {

namespace fs = std::filesystem;

std::string Slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Spit(const fs::path& p, const std::string& s) {
  std::ofstream(p, std::ios::binary) << s;
}

// Fails one chosen call with an errno, after letting `passes` calls through;
// a failing write first writes part of its data, as a full disk does.
class FailingOps : public FileOps {
 public:
  enum Call { kWrite, kFsync, kClose, kRename, kRead };
  FailingOps(Call call, int err, int passes = 0) : call_(call), err_(err), passes_(passes) {}

  ssize_t Write(int fd, const void* data, size_t size) override {
    if (!Fails(kWrite)) return FileOps::Write(fd, data, size < 100 ? size : 100);
    if (size > 10) FileOps::Write(fd, data, 10);
    return Error();
  }
  ssize_t Read(int fd, void* data, size_t size) override {
    // Small chunks, so that a failure can fall in the middle of the file.
    return Fails(kRead) ? Error() : FileOps::Read(fd, data, size < 100 ? size : 100);
  }
  int Fsync(int fd) override { return Fails(kFsync) ? Error() : FileOps::Fsync(fd); }
  int Close(int fd) override {
    int rc = FileOps::Close(fd);
    return Fails(kClose) ? Error() : rc;
  }
  int Rename(const char* from, const char* to) override {
    return Fails(kRename) ? Error() : FileOps::Rename(from, to);
  }

 private:
  bool Fails(Call call) { return call == call_ && passes_-- <= 0; }
  int Error() {
    errno = err_;
    return -1;
  }
  Call call_;
  int err_;
  int passes_;
};

// The message of the SettingsFileError that `action` throws.
template <typename Action>
std::string ErrorOf(Action action) {
  try {
    action();
  } catch (const SettingsFileError& e) {
    return e.what();
  }
  ADD_FAILURE() << "the failure was reported as success";
  return {};
}

class SettingsFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("zarvex-settings-test-" + std::to_string(std::random_device{}()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    file_ = (dir_ / "zarvex.cfg").string();
  }
  void TearDown() override { fs::remove_all(dir_); }

  size_t EntriesInDir() const {
    return static_cast<size_t>(std::distance(fs::directory_iterator(dir_), {}));
  }

  fs::path dir_;
  std::string file_;
};

TEST_F(SettingsFileTest, SaveAndLoadGiveTheRecordBack) {
  const TCFG original = DistinctRecord();
  SaveSettingsFile(file_, original);
  TCFG loaded;
  LoadSettingsFile(file_, loaded);
  EXPECT_EQ(loaded, original);
  EXPECT_EQ(EntriesInDir(), 1u) << "a temporary file was left behind";
}

TEST_F(SettingsFileTest, FailingSaveLeavesTheOldFileAndNoTemporary) {
  const std::string old = "the last good configuration\r\n";
  struct Case {
    FailingOps::Call call;
    int err;
    int passes;
  };
  for (Case c : {Case{FailingOps::kWrite, ENOSPC, 0}, Case{FailingOps::kWrite, EIO, 3},
                 Case{FailingOps::kFsync, EIO, 0}, Case{FailingOps::kClose, EIO, 0},
                 Case{FailingOps::kRename, EXDEV, 0}}) {
    SCOPED_TRACE(testing::Message() << "call " << c.call << " passes " << c.passes);
    Spit(file_, old);
    FailingOps ops(c.call, c.err, c.passes);
    EXPECT_EQ(ErrorOf([&] { SaveSettingsFile(file_, DistinctRecord(), ops); }),
              file_system::ErrorText(c.err));
    EXPECT_EQ(Slurp(file_), old);
    EXPECT_EQ(EntriesInDir(), 1u);
  }
}

TEST_F(SettingsFileTest, FailingLoadLeavesTheRecordAsItWas) {
  const TCFG before = DistinctRecord();
  TCFG other = before;
  other.Phone[0] = "changed";
  other.VpnAndId = "0999999";
  SaveSettingsFile(file_, other);

  TCFG cfg = before;
  FailingOps ops(FailingOps::kRead, EIO, 3);  // fails past the first lines
  EXPECT_THROW(LoadSettingsFile(file_, cfg, ops), SettingsFileError);
  EXPECT_EQ(cfg, before);

  const std::string missing = (dir_ / "missing.cfg").string();
  EXPECT_EQ(ErrorOf([&] { LoadSettingsFile(missing, cfg); }), file_system::ErrorText(ENOENT));
  EXPECT_THROW(LoadSettingsFile(dir_.string(), cfg), SettingsFileError);  // a directory
  EXPECT_EQ(cfg, before);
}

TEST_F(SettingsFileTest, FileOverOneMebibyteIsRefusedUntouched) {
  TCFG cfg = DistinctRecord();
  std::string big = std::string(kMaxSettingsFileSize, '1');
  Spit(file_, big);
  EXPECT_NO_THROW(LoadSettingsFile(file_, cfg));  // exactly 1 MiB is still read
  EXPECT_EQ(cfg.DeviceType, DigitsToInt(big));

  cfg = DistinctRecord();
  Spit(file_, big + "1");
  const std::string tooLarge = ErrorOf([&] { LoadSettingsFile(file_, cfg); });
  EXPECT_EQ(tooLarge, kFileTooLargeText);
  EXPECT_EQ(tooLarge, "Файл слишком велик");
  EXPECT_EQ(cfg, DistinctRecord());
}

}  // namespace
}  // namespace zarvex
