#pragma once

#include <string>

#include "team/pg_connection.h"

namespace zarvex::team {

// The password kept where libpq looks for it (its password file), readable
// by the user alone: first, so libpq uses it, and the line for the same
// server and user replaced.
// Throws TeamError when the file cannot be written.
void KeepPassword(const TServerAddress& address, const std::string& password);

// Where libpq reads it on this system: PGPASSFILE, else the user's own.
std::string PgpassPath();
// Writes `text` as the whole file, replacing it at once, private to the user.
void WritePrivateFile(const std::string& path, const std::string& text);
// The file's text; empty when there is none.
std::string ReadWholeFile(const std::string& path);

}  // namespace zarvex::team
