// The program itself, as a shell starts it: SIGTERM and SIGINT reach the
// command under way, which ends at once.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "settings/settings_format.h"

namespace {

namespace fs = std::filesystem;

// Exit code, or -1 when it did not end within `limit`.
int WaitFor(pid_t pid, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -2;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  return -1;
}

TEST(CliSignalTest, ASignalEndsAWaitingProvisionAtOnceWithItsSummary) {
  const fs::path dir = fs::temp_directory_path() / ("zarvex-cli-signal-" + std::to_string(getpid()));
  fs::create_directories(dir);
  const std::string file = (dir / "site.cfg").string();
  std::ofstream(file, std::ios::binary) << zarvex::FormatSettings(zarvex::TCFG{});
  for (int signal : {SIGTERM, SIGINT}) {
    const pid_t pid = fork();
    if (pid == 0) {
      // No panel here: provision waits for one until it is told to stop.
      execl(ZARVEX_CLI_PROGRAM, ZARVEX_CLI_PROGRAM, "--db", (dir / "sites.db").c_str(), "provision", file.c_str(),
            static_cast<char*>(nullptr));
      _exit(127);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    kill(pid, signal);
    // Ctrl+C is how a batch ends: its summary, exit 0, instead of waiting on.
    EXPECT_EQ(WaitFor(pid, std::chrono::seconds(5)), 0) << "signal " << signal;
  }
  fs::remove_all(dir);
}

}  // namespace
