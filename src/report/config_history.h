#pragma once

#include <cstddef>
#include <ctime>
#include <string>
#include <vector>

#include "settings/file_ops.h"
#include "settings/tcfg.h"

namespace zarvex::report {

// A snapshot of a configuration: after every completed read, what the panel
// held; at every write click, what was about to be written; before factory
// values replace the window's, what it held. Each one is a settings file of
// its own, byte for byte the format of "zarvex.cfg", named by its time, a
// sequence number, kind, model and firmware version, e.g.
// "2026-12-08_14-03-27_000042_read_zx4110_v520.cfg". The sequence orders
// them, whatever the clock did; names without one (older versions) come
// before every numbered one.
struct Snapshot {
  enum class Kind { Read, Write, Reset };
  std::string path;  // UTF-8
  std::time_t time = 0;
  long sequence = 0;
  Kind kind = Kind::Read;
  std::string model;  // "zarvex-gsm" or "zx4110", as in the name
  int firmwareVersion = 0;
};

// The snapshots in one directory (the user's data directory, "history").
class ConfigHistory {
 public:
  static constexpr std::size_t kKept = 1000;

  // `directory` in UTF-8.
  explicit ConfigHistory(std::string directory, FileOps& ops = SystemFileOps());

  // Writes the snapshot atomically under a name no other snapshot has, and
  // keeps the newest kKept, never dropping the one just written. Every
  // failure throws SettingsFileError with the system's text.
  Snapshot Store(Snapshot::Kind kind, const TCFG& cfg, std::time_t when);
  // Newest first; files that are not snapshots are left out.
  std::vector<Snapshot> List() const;
  // The record a snapshot holds; throws SettingsFileError.
  TCFG Load(const Snapshot& snapshot) const;
  // The newest read older than `write`: what the panel held before it.
  const Snapshot* Predecessor(const std::vector<Snapshot>& newestFirst, const Snapshot& write) const;

  const std::string& Directory() const { return directory_; }

 private:
  std::vector<Snapshot> Names() const;  // as List, without the times
  std::vector<Snapshot> Scan(bool withTime) const;

  std::string directory_;
  FileOps& ops_;
};

std::string ModelName(int firmwareVersion);  // "zarvex-gsm" or "zx4110"
std::string KindText(Snapshot::Kind kind);    // "чтение", "запись" or "до сброса"

}  // namespace zarvex::report
