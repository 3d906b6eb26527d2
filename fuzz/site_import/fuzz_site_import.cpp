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

zarvex::sites::TSiteStore& Store() {
  static const std::string path = TempPath("sites.db");
  static auto store = [] {
    std::remove(path.c_str());
    return std::make_unique<zarvex::sites::TSiteStore>(path);
  }();
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
  zarvex::sites::TSiteStore& store = Store();
  const size_t before = store.Sites().size();
  try {
    const zarvex::sites::TImportReport report = zarvex::sites::ImportSites(store, file);
    if (store.Sites().size() != before + static_cast<size_t>(report.sitesAdded)) __builtin_trap();
  } catch (const zarvex::sites::SitesError&) {
    // Refused whole: nothing of it may have stayed.
    if (store.Sites().size() != before) __builtin_trap();
  }
  return 0;
}
