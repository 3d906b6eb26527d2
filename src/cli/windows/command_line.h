#pragma once

#include <string>
#include <vector>

namespace zarvex::cli {

// A Windows command line split as the C runtime splits it, without the
// program's name, each argument as UTF-8; empty with `error` set when one is
// not valid UTF-16.
std::vector<std::string> ArgumentsOfCommandLine(const wchar_t* commandLine, std::string& error);

}  // namespace zarvex::cli
