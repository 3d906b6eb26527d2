// zarvex-cli: read, write, verify and provision panels from the command line,
// over the same layers as the window.
#include <atomic>
#include <iostream>

#include "cli/cli_app.h"
#include "cli/console.h"
#include "cli/panel_session.h"
#include "hid/system_hid_platform.h"

int main(int argc, char* argv[]) {
  std::atomic<bool> interrupted{false};
  const zarvex::cli::TConsole console(interrupted);
  std::string error;
  const std::vector<std::string> args = zarvex::cli::ProgramArguments(argc, argv, error);
  if (!error.empty()) {
    std::cerr << "zarvex-cli: " << error << "\n";
    return zarvex::cli::kUsage;
  }
  const auto platform = zarvex::hid::MakeSystemHidPlatform();
  // Named: by position the flag once landed in a bool and Ctrl+C reached no command.
  zarvex::cli::CliEnvironment env{.out = std::cout,
                                  .err = std::cerr,
                                  .errIsTerminal = console.ErrIsTerminal(),
                                  .errErasesLines = console.ErrErasesLines(),
                                  .interrupted = &interrupted};
  return zarvex::cli::RunCli(args, *platform, env);
}
