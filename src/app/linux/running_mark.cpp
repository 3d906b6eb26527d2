#include "app/running_mark.h"

namespace zarvex {

void MarkProgramRunning() {}

}  // namespace zarvex
