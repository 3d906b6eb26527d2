#pragma once
// What the settings file's reading and atomic replacing need that differs
// between systems; posix/ and windows/ each define it.

#include <string>

#include "settings/file_ops.h"

namespace zarvex::file_system {

// The file a save really replaces: on POSIX the end of a chain of symbolic
// links (the name itself when it is none, or dangling).
std::string ReplacedPath(const std::string& fileName);

// Open flags: to read a file that must never block (a FIFO picked by
// mistake), and to create a new file exclusively for writing.
int ReadFlags();
int CreateExclusiveFlags();

// A number that tells this process's temporary files from another's.
unsigned long ProcessId();

// Best effort: makes a rename in the folder durable.
void SyncDirectoryOf(const std::string& path, FileOps& ops);

// The text for an errno value, as the installer reads it.
std::string ErrorText(int error);

}  // namespace zarvex::file_system
