#pragma once

#include <atomic>
#include <string>
#include <vector>

namespace zarvex::cli {

// The console as zarvex-cli needs it for its run: UTF-8 output, progress
// lines it can erase, and every way a user stops a program (Ctrl+C, and on
// Windows Ctrl+Break and closing the console window; on Linux SIGTERM and
// SIGHUP) setting `interrupted`, so a write under way ends as cut, never
// silently. Destruction puts back what it changed. One at a time.
class TConsole {
 public:
  explicit TConsole(std::atomic<bool>& interrupted);
  ~TConsole();
  TConsole(const TConsole&) = delete;
  TConsole& operator=(const TConsole&) = delete;

  bool ErrIsTerminal() const { return errIsTerminal_; }
  bool ErrErasesLines() const { return errErasesLines_; }

 private:
  bool errIsTerminal_ = false;
  bool errErasesLines_ = true;
  unsigned saved_[3] = {};  // what Windows had: output and input code page, console mode
};

// The program's arguments after its name, as UTF-8. Windows passes main()
// the ANSI code page's bytes, so there they come from the wide command line.
// Empty with `error` set when they cannot be turned into UTF-8.
std::vector<std::string> ProgramArguments(int argc, char* argv[], std::string& error);

}  // namespace zarvex::cli
