// zarvex-cli: read, write, verify and provision panels from the command line,
// over the same layers as the window.
#include <atomic>
#include <csignal>
#include <iostream>

#include "cli/cli_app.h"
#include "cli/console.h"
#include "hid/system_hid_platform.h"

namespace {
std::atomic<bool> interrupted{false};
void Interrupt(int) { interrupted = true; }
}  // namespace

int main(int argc, char* argv[]) {
  std::signal(SIGINT, Interrupt);
  std::signal(SIGTERM, Interrupt);
  const bool terminal = zarvex::cli::PrepareConsole();
  const auto platform = zarvex::hid::MakeSystemHidPlatform();
  zarvex::cli::CliEnvironment env{std::cout, std::cerr, terminal, &interrupted};
  return zarvex::cli::RunCli(std::vector<std::string>(argv + 1, argv + argc), *platform, env);
}
