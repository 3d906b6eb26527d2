#include "ui/working_folder.h"

namespace zarvex {

bool ProgramFolderHoldsNoUserFiles() { return true; }
bool FolderNamesIgnoreCase() { return true; }

}  // namespace zarvex
