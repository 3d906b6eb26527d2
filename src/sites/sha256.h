#pragma once

#include <string>

namespace zarvex::sites {

// SHA-256 of the bytes, as 64 lower-case hex digits: a snapshot's identity
// across databases, so an import never adds one twice.
std::string Sha256Hex(const std::string& bytes);

}  // namespace zarvex::sites
