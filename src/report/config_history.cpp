#include "report/config_history.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "settings/settings_file.h"
#include "settings/settings_file_error.h"
#include "settings/settings_format.h"
#include "settings/whole_file.h"

namespace zarvex::report {

namespace fs = std::filesystem;

namespace {

std::string NameOf(Snapshot::Kind kind, const TCFG& cfg, std::time_t when, int serial) {
  std::tm local{};
  localtime_r(&when, &local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%d_%H-%M-%S", &local);
  std::string name = std::string(stamp) + (kind == Snapshot::Kind::Read ? "_read_" : "_write_") +
                     ModelName(cfg.FirmwareVersion) + "_v" + std::to_string(cfg.FirmwareVersion);
  if (serial > 0) name += "_" + std::to_string(serial);  // two in the same second
  return name + ".cfg";
}

bool Parse(const fs::path& path, Snapshot& out) {
  const std::string name = path.filename().string();
  int y, mo, d, h, mi, s;
  char kind[8] = {}, model[16] = {};
  int version = 0;
  if (std::sscanf(name.c_str(), "%4d-%2d-%2d_%2d-%2d-%2d_%7[a-z]_%15[a-z0-9-]_v%d", &y, &mo, &d, &h,
                  &mi, &s, kind, model, &version) != 9) {
    return false;
  }
  if (path.extension() != ".cfg") return false;
  const std::string k = kind;
  if (k != "read" && k != "write") return false;
  std::tm local{};
  local.tm_year = y - 1900;
  local.tm_mon = mo - 1;
  local.tm_mday = d;
  local.tm_hour = h;
  local.tm_min = mi;
  local.tm_sec = s;
  local.tm_isdst = -1;
  out.path = path.string();
  out.time = std::mktime(&local);
  out.kind = k == "read" ? Snapshot::Kind::Read : Snapshot::Kind::Write;
  out.model = model;
  out.firmwareVersion = version;
  return true;
}

}  // namespace

std::string ModelName(int firmwareVersion) { return firmwareVersion >= 500 ? "zx4110" : "zarvex-gsm"; }
std::string KindText(Snapshot::Kind kind) { return kind == Snapshot::Kind::Read ? "чтение" : "запись"; }

ConfigHistory::ConfigHistory(std::string directory, FileOps& ops)
    : directory_(std::move(directory)), ops_(ops) {}

Snapshot ConfigHistory::Store(Snapshot::Kind kind, const TCFG& cfg, std::time_t when) {
  std::error_code error;
  fs::create_directories(directory_, error);
  if (error) throw SettingsFileError(error.message());
  fs::path path;
  for (int serial = 0;; ++serial) {
    path = fs::path(directory_) / NameOf(kind, cfg, when, serial);
    if (!fs::exists(path)) break;
  }
  ReplaceWholeFile(path.string(), FormatSettings(cfg), ops_);
  // The newest are kept; names sort by time. Counting is cheap, sorting
  // only when there is something to drop.
  size_t files = 0;
  for (const auto& entry : fs::directory_iterator(directory_, error)) files += entry.is_regular_file(error);
  if (files > kKept) {
    const std::vector<Snapshot> all = List();
    for (size_t i = kKept; i < all.size(); ++i) fs::remove(all[i].path, error);
  }
  Snapshot stored;
  Parse(path, stored);
  return stored;
}

std::vector<Snapshot> ConfigHistory::List() const {
  std::vector<Snapshot> result;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(directory_, error)) {
    Snapshot s;
    if (entry.is_regular_file(error) && Parse(entry.path(), s)) result.push_back(std::move(s));
  }
  std::sort(result.begin(), result.end(), [](const Snapshot& a, const Snapshot& b) {
    return fs::path(a.path).filename() > fs::path(b.path).filename();
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
