#pragma once

#include <ctime>

#include "report/config_history.h"
#include "sites/site_store.h"

namespace zarvex::sites {

// The history's snapshots, from before there were sites, taken into the
// database once, unfiled, in one transaction; the history itself is left
// as it is. Returns how many were taken in (0 once done before). A snapshot
// that cannot be read is left out and counted in `unreadable`. With
// `before`, only what the history held before then: what came later was
// filed on its own.
int ImportHistoryOnce(TSiteStore& store, const report::ConfigHistory& history, int* unreadable = nullptr,
                      std::time_t before = 0);

}  // namespace zarvex::sites
