#pragma once

#include <cstdint>
#include <string>

#include "sites/site_store.h"

namespace zarvex::sites {

// One site, its panels and its snapshots, into a site database of its own,
// which another technician's program imports. The file is written whole or
// not at all; an existing file is replaced only once the new one is done.
void ExportSite(TSiteStore& store, int64_t siteId, const std::string& file);

// Merges such a file (or any site database) in, in one transaction: new
// sites are added; a site already here (the same uid) keeps its fields, and
// each field the two differ in is kept both ways as a conflict and told;
// snapshots already here (the same content, time and kind) are not added
// twice. The file is only read. Throws SitesError for a file that is not a
// site database.
TImportReport ImportSites(TSiteStore& store, const std::string& file);

}  // namespace zarvex::sites
