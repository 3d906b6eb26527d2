#include "settings/file_system.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace zarvex::file_system {

std::string ReplacedPath(const std::string& fileName) {
  struct stat st {};
  if (::lstat(fileName.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return fileName;
  char resolved[PATH_MAX];
  if (::realpath(fileName.c_str(), resolved) == nullptr) return fileName;
  return resolved;
}

int ReadFlags() { return O_RDONLY | O_CLOEXEC | O_NONBLOCK; }
int CreateExclusiveFlags() { return O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC; }

unsigned long ProcessId() { return static_cast<unsigned long>(::getpid()); }

void SyncDirectoryOf(const std::string& path, FileOps& ops) {
  const std::string::size_type slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  const int fd = ops.Open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
  if (fd < 0) return;
  ops.Fsync(fd);
  ops.Close(fd);
}

std::string ErrorText(int error) { return std::strerror(error); }

}  // namespace zarvex::file_system
