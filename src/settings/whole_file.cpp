#include "settings/whole_file.h"

#include <fcntl.h>

#include <cerrno>
#include <cstdlib>

#include "settings/file_system.h"
#include "settings/settings_file_error.h"

namespace zarvex {

namespace {

[[noreturn]] void ThrowErrno(int err) { throw SettingsFileError(file_system::ErrorText(err)); }

// Creates a file next to `target` that no one else uses; returns its
// descriptor and sets `tempName`, or returns -1 with errno set.
int CreateTempBeside(const std::string& target, std::string& tempName, FileOps& ops) {
  static unsigned counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    tempName = target + ".tmp-" + std::to_string(file_system::ProcessId()) + "-" + std::to_string(++counter);
    int fd = ops.Open(tempName.c_str(), file_system::CreateExclusiveFlags(), 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

bool WriteAll(int fd, std::string_view data, FileOps& ops) {
  while (!data.empty()) {
    auto n = ops.Write(fd, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) {  // no progress and no error: never loop on it
      errno = EIO;
      return false;
    }
    data.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

}  // namespace

std::string ReadWholeFile(const std::string& fileName, size_t maxSize, FileOps& ops) {
  // Non-blocking, so that a mistakenly chosen FIFO cannot hang the window.
  int fd = ops.Open(fileName.c_str(), file_system::ReadFlags(), 0);
  if (fd < 0) ThrowErrno(errno);

  struct stat st {};
  if (ops.Fstat(fd, &st) != 0) {
    int err = errno;
    ops.Close(fd);
    ThrowErrno(err);
  }
  if (S_ISREG(st.st_mode) && static_cast<unsigned long long>(st.st_size) > maxSize) {
    ops.Close(fd);
    throw SettingsFileError(kFileTooLargeText);
  }

  std::string contents;
  char chunk[64 * 1024];
  for (;;) {
    auto n = ops.Read(fd, chunk, sizeof chunk);
    if (n < 0) {
      if (errno == EINTR) continue;
      int err = errno;
      ops.Close(fd);
      ThrowErrno(err);
    }
    if (n == 0) break;
    // The size seen by fstat may grow, and devices report none at all.
    if (contents.size() + static_cast<size_t>(n) > maxSize) {
      ops.Close(fd);
      throw SettingsFileError(kFileTooLargeText);
    }
    contents.append(chunk, static_cast<size_t>(n));
  }
  // Everything has been read; a failing close of a read-only file loses nothing.
  ops.Close(fd);
  return contents;
}

void ReplaceWholeFile(const std::string& fileName, std::string_view contents, FileOps& ops) {
  const std::string target = file_system::ReplacedPath(fileName);

  std::string tempName;
  int fd = CreateTempBeside(target, tempName, ops);
  if (fd < 0) ThrowErrno(errno);

  auto fail = [&](int err, bool open) {
    if (open) ops.Close(fd);
    ops.Unlink(tempName.c_str());
    ThrowErrno(err);
  };

  struct stat old {};
  if (ops.Stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode) &&
      ops.Fchmod(fd, old.st_mode & 07777) != 0) {
    fail(errno, true);
  }
  if (!WriteAll(fd, contents, ops)) fail(errno, true);
  if (ops.Fsync(fd) != 0) fail(errno, true);
  if (ops.Close(fd) != 0) fail(errno, false);
  if (ops.Rename(tempName.c_str(), target.c_str()) != 0) fail(errno, false);
  file_system::SyncDirectoryOf(target, ops);
}

}  // namespace zarvex
