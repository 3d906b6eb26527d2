#pragma once

#include <cstddef>
#include <ctime>
#include <string>
#include <vector>

#include "settings/file_ops.h"
#include "settings/tcfg.h"

namespace zarvex::report {

// A snapshot of a configuration: after every completed read, what the panel
// held; at every write click, what was about to be written. Each one is a
// settings file of its own, byte for byte the format of "zarvex.cfg", named
// by its time, kind, model and firmware version, e.g.
// "2026-12-08_14-03-27_read_zx4110_v520.cfg".
struct Snapshot {
  enum class Kind { Read, Write };
  std::string path;
  std::time_t time = 0;
  Kind kind = Kind::Read;
  std::string model;  // "zarvex-gsm" or "zx4110", as in the name
  int firmwareVersion = 0;
};

// The snapshots in one directory (the user's data directory, "history").
class ConfigHistory {
 public:
  static constexpr std::size_t kKept = 1000;

  explicit ConfigHistory(std::string directory, FileOps& ops = SystemFileOps());

  // Writes the snapshot atomically and keeps the newest kKept. Throws
  // SettingsFileError with the system's text when it cannot be written.
  Snapshot Store(Snapshot::Kind kind, const TCFG& cfg, std::time_t when);
  // Newest first; files that are not snapshots are left out.
  std::vector<Snapshot> List() const;
  // The record a snapshot holds; throws SettingsFileError.
  TCFG Load(const Snapshot& snapshot) const;
  // The newest read older than `write`: what the panel held before it.
  const Snapshot* Predecessor(const std::vector<Snapshot>& newestFirst, const Snapshot& write) const;

  const std::string& Directory() const { return directory_; }

 private:
  std::string directory_;
  FileOps& ops_;
};

std::string ModelName(int firmwareVersion);  // "zarvex-gsm" or "zx4110"
std::string KindText(Snapshot::Kind kind);    // "чтение" or "запись"

}  // namespace zarvex::report
