#include "settings/file_system.h"

#include <fcntl.h>
#include <windows.h>

#include <cerrno>
#include <cstring>

namespace zarvex::file_system {

// Shortcuts are no links to a program that opens files; the name is the file.
std::string ReplacedPath(const std::string& fileName) { return fileName; }

int ReadFlags() { return _O_RDONLY; }
int CreateExclusiveFlags() { return _O_WRONLY | _O_CREAT | _O_EXCL; }

unsigned long ProcessId() { return GetCurrentProcessId(); }

// Windows has no call that flushes a folder's entries; the file's own data
// was flushed before the rename.
void SyncDirectoryOf(const std::string&, FileOps&) {}

std::string ErrorText(int error) {
  switch (error) {
    // Windows refuses a replace with access denied, too, when another
    // program has the file open.
    case EACCES: return "Нет доступа: файл открыт другой программой, или нет прав на запись в папку";
    case EBUSY: return "Файл занят другой программой; закройте её и повторите";
    case ENOSPC: return "На диске нет места";
    case ENOENT: return "Файл или папка не найдены";
    case EINVAL: return "Имя файла не является текстом Юникода";
    default: return std::strerror(error);
  }
}

}  // namespace zarvex::file_system
