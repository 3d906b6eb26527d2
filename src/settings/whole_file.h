#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "settings/file_ops.h"

namespace zarvex {

// The whole contents of the file. A file larger than `maxSize` bytes is
// refused with kFileTooLargeText before more than maxSize + 1 bytes are held,
// whatever kind of file it is. Throws SettingsFileError.
std::string ReadWholeFile(const std::string& fileName, size_t maxSize,
                          FileOps& ops = SystemFileOps());

// Replaces the file's contents so that, on any failure, the old file stays as
// it was: the contents go to a new file in the same directory, which is
// flushed to disk and then renamed over the target. A symbolic link is
// followed, so the file it points to is replaced, as writing in place would.
// An existing file keeps its permission bits. Throws SettingsFileError.
void ReplaceWholeFile(const std::string& fileName, std::string_view contents,
                      FileOps& ops = SystemFileOps());

}  // namespace zarvex
