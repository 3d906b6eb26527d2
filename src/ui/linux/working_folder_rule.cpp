#include "ui/working_folder.h"

namespace zarvex {

bool ProgramFolderHoldsNoUserFiles() { return false; }
bool FolderNamesIgnoreCase() { return false; }

}  // namespace zarvex
