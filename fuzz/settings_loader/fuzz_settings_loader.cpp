// The settings-file loader on any bytes. A load fills the record or leaves
// it untouched, and what it loaded survives a save and a load.
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "settings/file_ops.h"
#include "settings/settings_file.h"
#include "settings/settings_file_error.h"
#include "settings/settings_format.h"

namespace {

// Serves the input as the only file there is, in reads of a chosen size,
// and fails one read when asked to.
class MemoryFile final : public zarvex::FileOps {
 public:
  MemoryFile(const uint8_t* data, size_t size, size_t chunk, int failingRead)
      : data_(data), size_(size), chunk_(chunk), failingRead_(failingRead) {}

  int Open(const char*, int, mode_t) override {
    offset_ = 0;
    return 3;
  }
  ssize_t Read(int, void* out, size_t size) override {
    if (reads_++ == failingRead_) {
      errno = EIO;
      return -1;
    }
    const size_t n = std::min({size, chunk_, size_ - offset_});
    std::memcpy(out, data_ + offset_, n);
    offset_ += n;
    return static_cast<ssize_t>(n);
  }
  int Fstat(int, struct stat* st) override {
    *st = {};
    st->st_mode = S_IFREG | 0644;
    st->st_size = static_cast<off_t>(size_);
    return 0;
  }
  int Stat(const char* path, struct stat* st) override { return Fstat(Open(path, 0, 0), st); }
  int Close(int) override { return 0; }

 private:
  const uint8_t* data_;
  size_t size_, chunk_, offset_ = 0;
  int failingRead_, reads_ = 0;
};

zarvex::TCFG Reloaded(const zarvex::TCFG& cfg) {
  zarvex::TCFG again;
  zarvex::ParseSettings(zarvex::FormatSettings(cfg), again);
  return again;
}

// A minus sign does not load back (the loader takes digits only), so a
// value that wrapped negative is the one thing a save and load may change.
bool NoNegativeNumbers(const zarvex::TCFG& cfg) {
  const std::string file = zarvex::FormatSettings(cfg);
  size_t lineStart = 0;
  for (int line = 1; line <= zarvex::kSettingsFileLines; ++line) {
    const bool number = line <= 2 || line == 12 || line == 13 || (line >= 20 && line <= 50) ||
                        line == 60;
    if (number && file[lineStart] == '-') return false;
    lineStart = file.find('\n', lineStart) + 1;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const size_t chunk = 1 + data[0] * 37u;
  const int failingRead = (data[1] & 0x80) ? (data[1] & 0x0F) : -1;
  data += 2;
  size -= 2;

  zarvex::TCFG cfg;
  cfg.Phone[0] = "before";
  cfg.ArmDelay = 301;
  const zarvex::TCFG before = cfg;
  MemoryFile file(data, size, chunk, failingRead);
  try {
    zarvex::LoadSettingsFile("fuzz.cfg", cfg, file);
  } catch (const zarvex::SettingsFileError&) {
    if (!(cfg == before)) std::abort();  // a failed load touched the record
    return 0;
  }
  zarvex::TCFG parsed = before;
  zarvex::ParseSettings(std::string_view(reinterpret_cast<const char*>(data), size), parsed);
  if (!(cfg == parsed)) std::abort();  // a load is the whole file, not part of it

  const zarvex::TCFG once = Reloaded(cfg);
  if (NoNegativeNumbers(cfg) && !(once == cfg)) std::abort();  // a save and load changed it
  if (!(Reloaded(once) == once)) std::abort();
  return 0;
}
