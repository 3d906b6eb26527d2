#pragma once

#include <cstdint>
#include <string>

#include "sites/site_store.h"

namespace zarvex::sites {

// One site, its panels, its snapshots and its fields' changes, into a site
// database of its own, which another technician's program imports. Read in
// one read transaction; the file is written whole or not at all, and an
// existing file is replaced only once the new one is done.
void ExportSite(TSiteStore& store, int64_t siteId, const std::string& file);

// Merges such a file in. The file is read first, whole, as a stranger's
// file (sites/handover_file): a file refused there leaves the database
// untouched. Then one transaction: new sites are added; a site already here
// (the same uid) takes the changes the file brings, so a field only the
// file changed takes its value and a field changed on both sides is a
// conflict kept with both values; snapshots already here (the same content,
// time and kind) are not added twice. `stop` ends the work at once.
TImportReport ImportSites(TSiteStore& store, const std::string& file, const TStopWhen& stop = {});

}  // namespace zarvex::sites
