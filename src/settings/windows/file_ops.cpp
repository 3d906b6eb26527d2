// FileOps on Windows: UTF-8 paths become UTF-16 at the call (a name that is
// not UTF-8 fails with EINVAL, never reaches the system changed), files are
// binary (no CR added), and a rename replaces its target, read-only or not,
// as rename(2) does on POSIX.
#include "settings/file_ops.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>

#include "windows/utf16.h"

namespace zarvex {

namespace {

int ErrnoOf(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
      return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
      return EACCES;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return EBUSY;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ENOSPC;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return EEXIST;
    default:
      return EIO;
  }
}

int FailWith(DWORD error) {
  errno = ErrnoOf(error);
  return -1;
}

bool WidePath(const char* path, std::wstring& wide) {
  if (windows::TryWide(path, wide)) return true;
  errno = EINVAL;
  return false;
}

// A virus scanner, the search indexer or OneDrive opens a new file for a
// moment after it is written; a replace meanwhile fails with one of these.
bool HeldForAMoment(DWORD error) { return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION; }
constexpr DWORD kHeldRetryMs = 2000;
constexpr DWORD kHeldPollMs = 50;

}  // namespace

int FileOps::Open(const char* path, int flags, mode_t mode) {
  const int permission = (mode & 0200) ? _S_IREAD | _S_IWRITE : _S_IREAD;
  std::wstring wide;
  if (!WidePath(path, wide)) return -1;
  return ::_wopen(wide.c_str(), flags | _O_BINARY | _O_NOINHERIT, permission);
}
ssize_t FileOps::Read(int fd, void* data, size_t size) {
  return ::_read(fd, data, static_cast<unsigned>(size));
}
ssize_t FileOps::Write(int fd, const void* data, size_t size) {
  return ::_write(fd, data, static_cast<unsigned>(size));
}
int FileOps::Fstat(int fd, struct stat* st) { return ::fstat(fd, st); }
// Windows keeps no mode bits beyond read-only, which Rename carries over.
int FileOps::Fchmod(int, mode_t) { return 0; }
// _commit is FlushFileBuffers on the file's handle.
int FileOps::Fsync(int fd) { return ::_commit(fd); }
int FileOps::Close(int fd) { return ::_close(fd); }

int FileOps::Stat(const char* path, struct stat* st) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  std::wstring wide;
  if (!WidePath(path, wide)) return -1;
  if (!GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data)) {
    return FailWith(GetLastError());
  }
  *st = {};
  const bool directory = data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
  const bool readOnly = data.dwFileAttributes & FILE_ATTRIBUTE_READONLY;
  st->st_mode = static_cast<decltype(st->st_mode)>((directory ? _S_IFDIR : _S_IFREG) | _S_IREAD |
                                                   (readOnly ? 0 : _S_IWRITE));
  st->st_size = static_cast<decltype(st->st_size)>(
      (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
  return 0;
}

int FileOps::Rename(const char* from, const char* to) {
  std::wstring source, target;
  if (!WidePath(from, source) || !WidePath(to, target)) return -1;
  const DWORD old = GetFileAttributesW(target.c_str());
  const bool readOnly = old != INVALID_FILE_ATTRIBUTES && (old & FILE_ATTRIBUTE_READONLY);
  // MoveFileEx refuses to replace a read-only file; POSIX replaces it and
  // the new file keeps the old one's mode, so we do the same.
  if (readOnly) SetFileAttributesW(target.c_str(), old & ~FILE_ATTRIBUTE_READONLY);
  const ULONGLONG start = GetTickCount64();
  while (!MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const DWORD error = GetLastError();
    if (HeldForAMoment(error) && GetTickCount64() - start < kHeldRetryMs) {
      Sleep(kHeldPollMs);
      continue;
    }
    if (readOnly) SetFileAttributesW(target.c_str(), old);
    return FailWith(error);
  }
  if (readOnly) SetFileAttributesW(target.c_str(), GetFileAttributesW(target.c_str()) | FILE_ATTRIBUTE_READONLY);
  return 0;
}

int FileOps::Unlink(const char* path) {
  std::wstring wide;
  if (!WidePath(path, wide)) return -1;
  return ::_wunlink(wide.c_str());
}

FileOps& SystemFileOps() {
  static FileOps ops;
  return ops;
}

}  // namespace zarvex
