#include "cli/console.h"

#include <unistd.h>

#include <csignal>

namespace zarvex::cli {

namespace {
std::atomic<bool>* stopFlag = nullptr;
void Interrupt(int) {
  if (stopFlag) *stopFlag = true;
}
}  // namespace

TConsole::TConsole(std::atomic<bool>& interrupted) {
  stopFlag = &interrupted;
  // A closed terminal (SIGHUP) cuts a write as Ctrl+C does.
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) std::signal(signal, Interrupt);
  errIsTerminal_ = ::isatty(STDERR_FILENO) == 1;
}

TConsole::~TConsole() {
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) std::signal(signal, SIG_DFL);
  stopFlag = nullptr;
}

std::vector<std::string> ProgramArguments(int argc, char* argv[], std::string&) {
  return std::vector<std::string>(argv + 1, argv + argc);
}

}  // namespace zarvex::cli
