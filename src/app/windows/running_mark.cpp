#include "app/running_mark.h"

#include "windows/program_running.h"

namespace zarvex {

void MarkProgramRunning() { windows::MarkProgramRunning(); }

}  // namespace zarvex
