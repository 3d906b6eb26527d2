#pragma once

namespace zarvex::cli {

// Makes the terminal show the program's UTF-8 output as text (a Windows
// console otherwise shows it in its own code page); true when standard
// error is a terminal, for the progress bar.
bool PrepareConsole();

}  // namespace zarvex::cli
