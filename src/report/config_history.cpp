#include "report/config_history.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "settings/file_system.h"
#include "settings/local_time.h"
#include "settings/settings_file.h"
#include "settings/settings_file_error.h"
#include "settings/settings_format.h"
#include "settings/whole_file.h"

namespace zarvex::report {

namespace fs = std::filesystem;

namespace {

// Paths are UTF-8 strings everywhere else; Windows would read a narrow
// string in the ANSI code page.
fs::path PathOf(const std::string& utf8) {
  return fs::path(std::u8string(utf8.begin(), utf8.end()));
}
std::string Utf8Of(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

const char* KindWord(Snapshot::Kind kind) {
  switch (kind) {
    case Snapshot::Kind::Read: return "read";
    case Snapshot::Kind::Write: return "write";
    case Snapshot::Kind::Reset: return "reset";
  }
  return "read";
}

std::string NameOf(Snapshot::Kind kind, const TCFG& cfg, std::time_t when, long sequence) {
  const std::tm local = LocalTime(when);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%d_%H-%M-%S", &local);
  char serial[24];
  std::snprintf(serial, sizeof serial, "%06ld", sequence);
  return std::string(stamp) + "_" + serial + "_" + KindWord(kind) + "_" +
         ModelName(cfg.FirmwareVersion) + "_v" + std::to_string(cfg.FirmwareVersion) + ".cfg";
}

// `withTime` false leaves out the calendar arithmetic, the costly part.
bool Parse(const fs::path& path, Snapshot& out, bool withTime = true) {
  if (path.extension() != ".cfg") return false;
  const std::string name = Utf8Of(path.filename());
  int y, mo, d, h, mi, s;
  long sequence = 0;
  char kind[8] = {}, model[16] = {};
  int version = 0;
  const char* numbered = "%4d-%2d-%2d_%2d-%2d-%2d_%9ld_%7[a-z]_%15[a-z0-9-]_v%d";
  const char* older = "%4d-%2d-%2d_%2d-%2d-%2d_%7[a-z]_%15[a-z0-9-]_v%d";
  if (std::sscanf(name.c_str(), numbered, &y, &mo, &d, &h, &mi, &s, &sequence, kind, model,
                  &version) != 10) {
    sequence = 0;
    if (std::sscanf(name.c_str(), older, &y, &mo, &d, &h, &mi, &s, kind, model, &version) != 9) {
      return false;
    }
  }
  const std::string k = kind;
  if (k == "read") out.kind = Snapshot::Kind::Read;
  else if (k == "write") out.kind = Snapshot::Kind::Write;
  else if (k == "reset") out.kind = Snapshot::Kind::Reset;
  else return false;
  if (withTime) {
    std::tm local{};
    local.tm_year = y - 1900;
    local.tm_mon = mo - 1;
    local.tm_mday = d;
    local.tm_hour = h;
    local.tm_min = mi;
    local.tm_sec = s;
    local.tm_isdst = -1;
    out.time = std::mktime(&local);
  }
  out.path = Utf8Of(path);
  out.sequence = sequence;
  out.model = model;
  out.firmwareVersion = version;
  return true;
}

[[noreturn]] void Fail(const std::string& what, const std::error_code& error) {
  throw SettingsFileError(what + ": " + error.message());
}

}  // namespace

std::string ModelName(int firmwareVersion) { return firmwareVersion >= 500 ? "zx4110" : "zarvex-gsm"; }
std::string KindText(Snapshot::Kind kind) {
  switch (kind) {
    case Snapshot::Kind::Read: return "чтение";
    case Snapshot::Kind::Write: return "запись";
    case Snapshot::Kind::Reset: return "до сброса";
  }
  return "чтение";
}

ConfigHistory::ConfigHistory(std::string directory, FileOps& ops)
    : directory_(std::move(directory)), ops_(ops) {}

Snapshot ConfigHistory::Store(Snapshot::Kind kind, const TCFG& cfg, std::time_t when) {
  const fs::path directory = PathOf(directory_);
  std::error_code error;
  fs::create_directories(directory, error);
  if (error) Fail("папка истории " + directory_, error);
  std::vector<Snapshot> all = Names();
  long sequence = all.empty() ? 1 : all.front().sequence + 1;

  // The name is claimed by an exclusive create, so another instance of the
  // program storing at the same moment takes the next number.
  fs::path path;
  for (int attempt = 0;; ++attempt, ++sequence) {
    path = directory / PathOf(NameOf(kind, cfg, when, sequence));
    const int fd = ops_.Open(Utf8Of(path).c_str(), file_system::CreateExclusiveFlags(), 0666);
    if (fd >= 0) {
      ops_.Close(fd);
      break;
    }
    if (errno != EEXIST || attempt >= 100) {
      throw SettingsFileError(Utf8Of(path) + ": " + file_system::ErrorText(errno));
    }
  }
  try {
    ReplaceWholeFile(Utf8Of(path), FormatSettings(cfg), ops_);
  } catch (const SettingsFileError&) {
    ops_.Unlink(Utf8Of(path).c_str());
    throw;
  }

  Snapshot stored;
  Parse(path, stored);
  // Pruning is best effort: the snapshot itself is safe already.
  all.insert(all.begin(), stored);
  for (size_t i = kKept; i < all.size(); ++i) {
    if (all[i].path != stored.path) fs::remove(PathOf(all[i].path), error);
  }
  return stored;
}

std::vector<Snapshot> ConfigHistory::List() const { return Scan(true); }
std::vector<Snapshot> ConfigHistory::Names() const { return Scan(false); }

std::vector<Snapshot> ConfigHistory::Scan(bool withTime) const {
  std::vector<Snapshot> result;
  std::error_code error;
  fs::directory_iterator it(PathOf(directory_), error);
  if (error) {
    if (error == std::errc::no_such_file_or_directory) return result;
    Fail("папка истории " + directory_, error);
  }
  for (; it != fs::directory_iterator(); it.increment(error)) {
    if (error) Fail("папка истории " + directory_, error);
    Snapshot s;
    if (Parse(it->path(), s, withTime)) result.push_back(std::move(s));
  }
  std::sort(result.begin(), result.end(), [](const Snapshot& a, const Snapshot& b) {
    if (a.sequence != b.sequence) return a.sequence > b.sequence;
    return a.path > b.path;
  });
  return result;
}

TCFG ConfigHistory::Load(const Snapshot& snapshot) const {
  TCFG cfg;
  LoadSettingsFile(snapshot.path, cfg, ops_);
  return cfg;
}

const Snapshot* ConfigHistory::Predecessor(const std::vector<Snapshot>& newestFirst,
                                           const Snapshot& write) const {
  bool past = false;
  for (const Snapshot& s : newestFirst) {
    if (s.path == write.path) {
      past = true;
      continue;
    }
    if (past && s.kind == Snapshot::Kind::Read) return &s;
  }
  return nullptr;
}

}  // namespace zarvex::report
