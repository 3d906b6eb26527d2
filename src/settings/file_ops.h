#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>

namespace zarvex {

// The system calls the settings file is read and written with. Every method
// behaves like the call of the same name: -1 with errno set on failure.
// Tests derive from it to make one call fail; root ignores permission bits,
// so a real failing write cannot be arranged from the file system alone.
class FileOps {
 public:
  virtual ~FileOps() = default;

  virtual int Open(const char* path, int flags, mode_t mode);
  virtual ssize_t Read(int fd, void* data, size_t size);
  virtual ssize_t Write(int fd, const void* data, size_t size);
  virtual int Fstat(int fd, struct stat* st);
  virtual int Fchmod(int fd, mode_t mode);
  virtual int Fsync(int fd);
  virtual int Close(int fd);
  virtual int Stat(const char* path, struct stat* st);
  virtual int Rename(const char* from, const char* to);
  virtual int Unlink(const char* path);
};

// The real calls; shared, stateless.
FileOps& SystemFileOps();

}  // namespace zarvex
