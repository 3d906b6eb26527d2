// The history in a folder an ordinary user may list but not search.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "report/config_history.h"
#include "settings/settings_file_error.h"

namespace zarvex::report {
namespace {

namespace fs = std::filesystem;

// A folder that can be listed but not searched (root's, mode 0744) as an
// ordinary user: a clear error, never another kind of exception.
TEST(ConfigHistoryPermissionsTest, AFolderThatCannotBeSearchedGivesASettingsFileError) {
  const fs::path dir = fs::temp_directory_path() / ("zarvex-history-perm-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  fs::permissions(dir, fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read);
  auto attempt = [&] {
    try {
      ConfigHistory(dir.string()).Store(Snapshot::Kind::Write, TCFG{}, 1'800'000'000);
    } catch (const SettingsFileError&) {
      return 0;
    } catch (...) {
      return 2;
    }
    return 1;
  };
  if (::geteuid() != 0) {
    fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_write);
    const int result = attempt();
    fs::permissions(dir, fs::perms::owner_all);
    EXPECT_EQ(result, 0);
    fs::remove_all(dir);
    return;
  }
  const pid_t child = ::fork();
  if (child == 0) {
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(3);
    ::_exit(attempt());
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "the program would have ended";
  EXPECT_EQ(WEXITSTATUS(status), 0);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace zarvex::report
