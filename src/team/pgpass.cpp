#include "team/pgpass.h"

#include <sstream>

namespace zarvex::team {

namespace {

// A pgpass field: ':' and '\' are escaped.
std::string PgpassField(const std::string& value) {
  std::string out;
  for (char c : value) {
    if (c == ':' || c == '\\') out += '\\';
    out += c;
  }
  return out;
}

}  // namespace

void KeepPassword(const TServerAddress& a, const std::string& password) {
  const std::string path = PgpassPath();
  const std::string key =
      PgpassField(a.host) + ":" + PgpassField(a.port) + ":" + PgpassField(a.database) + ":" + PgpassField(a.user) + ":";
  // libpq takes the first line that matches, so this one goes first: a
  // line with wildcards further up (*:*:*:ivanov:…) would win otherwise.
  std::string kept = key + PgpassField(password) + "\n";
  std::istringstream old(ReadWholeFile(path));
  for (std::string line; std::getline(old, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line.rfind(key, 0) != 0) kept += line + "\n";
  }
  WritePrivateFile(path, kept);
}

}  // namespace zarvex::team
