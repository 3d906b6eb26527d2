// Read and write times against a real panel over the system's own HID layer
// (hidraw on Linux, HID.dll on Windows): the same program, built for both,
// gives figures that can stand side by side on one machine. The panel must
// be plugged; it may take some seconds to appear (Wine presents hidraw
// devices a while after its server starts).
//   bench_panel_transfer [seconds to wait for the panel, default 10] [runs, default 3]
// Prints one line per run and then
//   FIGURES read_ms=R (x56 ticks=T) write_ms=W (x56 ticks=U)
// with the medians, and what they are in 10 ms ticks per parameter.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "cli/panel_session.h"
#include "hid/system_hid_platform.h"

namespace {
using Clock = std::chrono::steady_clock;

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}
}  // namespace

int main(int argc, char* argv[]) {
  const int waitSeconds = argc > 1 ? std::atoi(argv[1]) : 10;
  const int runs = std::max(1, argc > 2 ? std::atoi(argv[2]) : 3);
  const auto platform = zarvex::hid::MakeSystemHidPlatform();
  const auto deadline = Clock::now() + std::chrono::seconds(waitSeconds);
  std::vector<zarvex::cli::PanelNode> panels;
  while ((panels = zarvex::cli::FindPanels(*platform)).empty() && Clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
  }
  if (panels.empty()) {
    std::fprintf(stderr, "bench_panel_transfer: no panel after %d s\n", waitSeconds);
    return 3;
  }
  std::vector<double> reads, writes;
  for (int run = 1; run <= runs; ++run) {
    zarvex::cli::TPanelSession session(*platform, panels.front().path);
    int code = session.Connect();
    auto start = Clock::now();
    if (code == zarvex::cli::kOk) code = session.Read();
    const double readMs = MsSince(start);
    start = Clock::now();
    if (code == zarvex::cli::kOk) code = session.Write(session.Record());
    const double writeMs = MsSince(start);
    if (code != zarvex::cli::kOk) {
      std::fprintf(stderr, "bench_panel_transfer: run %d: exit %d: %s\n", run, code,
                   session.Message().c_str());
      return code;
    }
    reads.push_back(readMs);
    writes.push_back(writeMs);
    std::printf("run %d: read %.0f ms, write %.0f ms\n", run, readMs, writeMs);
  }
  const double read = Median(reads), write = Median(writes);
  std::printf("FIGURES read_ms=%.0f (x56 ticks=%.2f) write_ms=%.0f (x56 ticks=%.2f)\n", read,
              read / 560.0, write, write / 560.0);
  return 0;
}
