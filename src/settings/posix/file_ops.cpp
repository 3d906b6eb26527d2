#include "settings/file_ops.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

namespace zarvex {

int FileOps::Open(const char* path, int flags, mode_t mode) { return ::open(path, flags, mode); }
ssize_t FileOps::Read(int fd, void* data, size_t size) { return ::read(fd, data, size); }
ssize_t FileOps::Write(int fd, const void* data, size_t size) { return ::write(fd, data, size); }
int FileOps::Fstat(int fd, struct stat* st) { return ::fstat(fd, st); }
int FileOps::Fchmod(int fd, mode_t mode) { return ::fchmod(fd, mode); }
int FileOps::Fsync(int fd) { return ::fsync(fd); }
int FileOps::Close(int fd) { return ::close(fd); }
int FileOps::Stat(const char* path, struct stat* st) { return ::stat(path, st); }
int FileOps::Rename(const char* from, const char* to) { return std::rename(from, to); }
int FileOps::Unlink(const char* path) { return ::unlink(path); }

FileOps& SystemFileOps() {
  static FileOps ops;
  return ops;
}

}  // namespace zarvex
