// zarvex-cli's read and write --verify against the simulated panel over the
// virtual HID layer, paced in real time as on a real panel. Prints each
// run's time and its ratio to the ticks the transfer needs at one exchange
// per 10 ms tick: 56 for a read, 112 for a write with its verifying read.
// The last line is "read_ratio=R write_verify_ratio=W" (medians).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <vector>

#include "cli/cli_app.h"
#include "hid/virtual_hid_platform.h"
#include "sim/virtual_panel.h"

namespace {
using Clock = std::chrono::steady_clock;
constexpr int kRuns = 5;

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// One command's time in milliseconds, identification included.
double TimeCommand(zarvex::hid::VirtualHidPlatform& platform, const std::vector<std::string>& args) {
  std::ostringstream out, err;
  zarvex::cli::CliEnvironment env{out, err};
  const auto start = Clock::now();
  const int code = zarvex::cli::RunCli(args, platform, env);
  const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  if (code != 0) std::fprintf(stderr, "exit %d: %s\n", code, err.str().c_str());
  return ms;
}
}  // namespace

int main() {
  zarvex::hid::VirtualHidPlatform platform;
  zarvex::sim::VirtualPanel panel(platform);
  panel.Plug(zarvex::sim::PanelKind::First);
  const std::string file =
      (std::filesystem::temp_directory_path() / "zarvex-bench-cli.cfg").string();

  std::vector<double> read, write;
  for (int run = 0; run < kRuns; ++run) {
    read.push_back(TimeCommand(platform, {"read", "-o", file}));
    write.push_back(TimeCommand(platform, {"write", file, "--verify"}));
    std::printf("run %d: read %.0f ms (%.2f x 56 ticks), write --verify %.0f ms (%.2f x 112 ticks)\n",
                run + 1, read.back(), read.back() / 560.0, write.back(), write.back() / 1120.0);
  }
  std::filesystem::remove(file);
  std::printf("read_ratio=%.2f write_verify_ratio=%.2f\n", Median(read) / 560.0,
              Median(write) / 1120.0);
  return 0;
}
