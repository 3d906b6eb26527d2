#pragma once

#include <optional>
#include <string>
#include <vector>

#include "sites/sqlite_db.h"

namespace zarvex::sites {

// A site's fields, as the database names them and as the installer reads them.
inline constexpr int kSiteFieldCount = 5;
extern const char* const kSiteFieldNames[kSiteFieldCount];  // "name", "customer", …
extern const char* const kSiteFieldWords[kSiteFieldCount];  // "название", "заказчик", …
// Either kind of name; -1 for neither.
int FieldByWords(const std::string& nameOrWords);

// One edit of one field: immutable, named by the hash of all it holds, and
// naming the changes whose values it replaced. A field's value is its head
// (the change no other replaced); two heads with different values are a
// conflict. Merging two databases is the union of their changes, so any
// order of merges gives the same result.
struct TFieldChange {
  std::string changeId;  // set by InsertChange when empty
  std::string siteUid, field, value;
  std::vector<std::string> parents;
  std::string made, technician, laptop;  // made: UTC; empty for a value older than changes
};
std::string ChangeIdOf(const TFieldChange& change);

// Adds the change unless it is there; true when added.
bool InsertChange(TDatabase& db, TFieldChange& change);
// The field's heads, newest first (ties by id), so every database shows the same one.
std::vector<TFieldChange> Heads(TDatabase& db, const std::string& siteUid, const std::string& field);
// The first of Heads alone, without reading the others.
std::optional<TFieldChange> TopHead(TDatabase& db, const std::string& siteUid, const std::string& field);
// Every change of the site, parents before children where they are known.
std::vector<TFieldChange> ChangesOf(TDatabase& db, const std::string& siteUid);

// Who makes a change here: the laptop's name.
std::string LaptopName();

}  // namespace zarvex::sites
