#pragma once

#include <atomic>
#include <iosfwd>
#include <string>
#include <vector>

#include "hid/hid_platform.h"
#include "link/headless_driver.h"

namespace zarvex::cli {

struct CliEnvironment {
  std::ostream& out;
  std::ostream& err;
  bool errIsTerminal = false;  // progress as a bar instead of lines
  bool errErasesLines = true;  // the terminal understands "\033[K"
  // Set from a signal handler: the command ends at once; a transfer under
  // way is told as cut (exit 130).
  const std::atomic<bool>* interrupted = nullptr;
  link::THeadlessDriver::Pace pace = link::THeadlessDriver::Pace::RealTime;
  // Tests shorten the waits.
  int64_t silenceLimitMs = 2000;
  int64_t pairingWaitMs = 60000;
  int pollMs = 200;
  // The site database; empty: the user's own (sites::DefaultDatabasePath).
  std::string sitesDatabase{};
  // Where passwords are read from; null: the standard input.
  std::istream* in = nullptr;
};

// zarvex-cli: the arguments after the program name; returns the exit code.
int RunCli(const std::vector<std::string>& args, hid::THidPlatform& platform,
           const CliEnvironment& env);

}  // namespace zarvex::cli
