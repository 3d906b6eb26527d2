// A hand-over file from another technician, byte for byte as it arrived:
// importing it may refuse it, never crash, hang or take in half of it.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "sites/site_handover.h"
#include "sites/site_store.h"

namespace {

// In $TMPDIR when set: a long run on a memory folder is not held up by the
// disk flushing every import's commit.
std::string TempPath(const char* what) {
  const char* folder = std::getenv("TMPDIR");
  return std::string(folder && *folder ? folder : "/tmp") + "/zarvex-fuzz-site-import-" + std::to_string(getpid()) +
         "-" + what;
}

// Every good file adds its sites: past a few hundred the store starts over,
// so a long run spends its time on the files, not on an ever larger merge.
constexpr size_t kSitesBeforeFreshStore = 200;

zarvex::sites::TSiteStore& Store(size_t& sites) {
  static const std::string path = TempPath("sites.db");
  static std::unique_ptr<zarvex::sites::TSiteStore> store;
  sites = store ? store->Sites().size() : 0;
  if (!store || sites > kSitesBeforeFreshStore) {
    store.reset();
    for (const char* suffix : {"", "-wal", "-shm"}) std::remove((path + suffix).c_str());
    zarvex::sites::TStoreOptions options;
    options.dailyBackups = 0;
    store = std::make_unique<zarvex::sites::TSiteStore>(path, options);
    sites = 0;
  }
  return *store;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string file = TempPath("handed.zxsite");
  if (FILE* out = std::fopen(file.c_str(), "wb")) {
    std::fwrite(data, 1, size, out);
    std::fclose(out);
  } else {
    return 0;
  }
  size_t before = 0;
  zarvex::sites::TSiteStore& store = Store(before);
  try {
    const zarvex::sites::TImportReport report = zarvex::sites::ImportSites(store, file);
    if (store.Sites().size() != before + static_cast<size_t>(report.sitesAdded)) __builtin_trap();
  } catch (const zarvex::sites::SitesError&) {
    // Refused whole: nothing of it may have stayed.
    if (store.Sites().size() != before) __builtin_trap();
  }
  return 0;
}
