#include "cli/console.h"

#include <io.h>
#include <windows.h>

#include <cstdio>

#include "cli/windows/command_line.h"
#include "windows/program_running.h"

namespace zarvex::cli {

namespace {

std::atomic<bool>* stopFlag = nullptr;
HANDLE runEnded = nullptr;  // set when the console is put back

BOOL WINAPI OnConsoleEvent(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      if (stopFlag) *stopFlag = true;
      return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      // Windows ends the process once this returns: give the command its
      // few seconds to tell the cut write and let go of the panel.
      if (stopFlag) *stopFlag = true;
      if (runEnded) WaitForSingleObject(runEnded, 4500);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

TConsole::TConsole(std::atomic<bool>& interrupted) {
  windows::MarkProgramRunning();
  stopFlag = &interrupted;
  runEnded = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
  saved_[0] = GetConsoleOutputCP();
  saved_[1] = GetConsoleCP();
  SetConsoleOutputCP(CP_UTF8);
  SetConsoleCP(CP_UTF8);
  // A console's handle, not a pipe or a file.
  errIsTerminal_ = ::_isatty(::_fileno(stderr)) != 0;
  DWORD mode = 0;
  const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
  if (errIsTerminal_ && GetConsoleMode(err, &mode)) {
    saved_[2] = mode;
    // Windows 10 and later understand escapes once asked; older consoles refuse.
    errErasesLines_ = (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) ||
                      SetConsoleMode(err, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
  } else {
    errErasesLines_ = false;
  }
}

TConsole::~TConsole() {
  DWORD mode = 0;
  const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
  if (errIsTerminal_ && GetConsoleMode(err, &mode)) SetConsoleMode(err, saved_[2]);
  // The console outlives us: cmd would go on showing its text as UTF-8.
  if (saved_[0]) SetConsoleOutputCP(saved_[0]);
  if (saved_[1]) SetConsoleCP(saved_[1]);
  stopFlag = nullptr;
  if (runEnded) SetEvent(runEnded);
}

std::vector<std::string> ProgramArguments(int, char*[], std::string& error) {
  return ArgumentsOfCommandLine(GetCommandLineW(), error);
}

}  // namespace zarvex::cli
