#pragma once

namespace zarvex {

// Lets the installer see that the program runs (app/windows); nothing where
// packages are replaced under running programs (app/linux).
void MarkProgramRunning();

}  // namespace zarvex
