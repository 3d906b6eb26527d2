#include "sites/field_changes.h"

#include <algorithm>

#include "sites/sha256.h"

namespace zarvex::sites {

const char* const kSiteFieldNames[kSiteFieldCount] = {"name", "customer", "address", "phones", "notes"};
const char* const kSiteFieldWords[kSiteFieldCount] = {"название", "заказчик", "адрес", "телефоны", "заметки"};

int FieldByWords(const std::string& text) {
  for (int i = 0; i < kSiteFieldCount; ++i) {
    if (text == kSiteFieldNames[i] || text == kSiteFieldWords[i]) return i;
  }
  return -1;
}

std::string ChangeIdOf(const TFieldChange& c) {
  std::vector<std::string> parents = c.parents;
  std::sort(parents.begin(), parents.end());
  std::string text = c.siteUid + '\x1f' + c.field + '\x1f' + c.value + '\x1f';
  for (const std::string& p : parents) text += p + ' ';
  text += '\x1f' + c.made + '\x1f' + c.technician + '\x1f' + c.laptop;
  return Sha256Hex(text);
}

bool InsertChange(TDatabase& db, TFieldChange& c) {
  std::sort(c.parents.begin(), c.parents.end());
  c.parents.erase(std::unique(c.parents.begin(), c.parents.end()), c.parents.end());
  if (c.changeId.empty()) c.changeId = ChangeIdOf(c);
  db.Cached("INSERT OR IGNORE INTO site_changes(change_id, site_uid, field, value, made, technician, laptop) "
            "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7)")
      .Bind(1, c.changeId).Bind(2, c.siteUid).Bind(3, c.field).Bind(4, c.value).Bind(5, c.made)
      .Bind(6, c.technician).Bind(7, c.laptop).Run();
  if (db.Changes() == 0) return false;
  TStatement& parent = db.Cached("INSERT OR IGNORE INTO site_change_parents(change_id, parent_id) VALUES(?1, ?2)");
  const TResetWhenDone reset(parent);
  for (const std::string& p : c.parents) parent.Bind(1, c.changeId).Bind(2, p).Run();
  return true;
}

namespace {

const char* const kChangeColumns = "c.change_id, c.site_uid, c.field, c.value, c.made, c.technician, c.laptop";

// A change `c` no change of the same site and field replaced, looked up from
// its children (CROSS JOIN keeps that order): from the site's changes
// instead, every head would cost a walk of the whole field.
const std::string kIsHead =
    " NOT EXISTS (SELECT 1 FROM site_change_parents p CROSS JOIN site_changes k ON k.change_id = p.change_id "
    "WHERE p.parent_id = c.change_id AND k.site_uid = c.site_uid AND k.field = c.field) ";

TFieldChange ChangeOf(TDatabase& db, const TStatement& s) {
  TFieldChange c;
  c.changeId = s.Text(0);
  c.siteUid = s.Text(1);
  c.field = s.Text(2);
  c.value = s.Text(3);
  c.made = s.Text(4);
  c.technician = s.Text(5);
  c.laptop = s.Text(6);
  TStatement& parents = db.Cached("SELECT parent_id FROM site_change_parents WHERE change_id = ?1 ORDER BY parent_id");
  const TResetWhenDone reset(parents);
  parents.Bind(1, c.changeId);
  while (parents.Step()) c.parents.push_back(parents.Text(0));
  return c;
}

}  // namespace

std::vector<TFieldChange> Heads(TDatabase& db, const std::string& siteUid, const std::string& field) {
  // A change replaced only by a change of the same site and field stops
  // being a head; a stranger's change cannot hide another site's value.
  TStatement& s = db.Cached(std::string("SELECT ") + kChangeColumns +
                            " FROM site_changes c WHERE c.site_uid = ?1 AND c.field = ?2 AND" + kIsHead +
                            "ORDER BY c.made DESC, c.change_id DESC");
  const TResetWhenDone reset(s);
  s.Bind(1, siteUid).Bind(2, field);
  std::vector<TFieldChange> heads;
  while (s.Step()) heads.push_back(ChangeOf(db, s));
  if (heads.empty()) {
    // Only a cycle, which no honest database makes: its newest change stands.
    TStatement any = db.Prepare(std::string("SELECT ") + kChangeColumns +
                                " FROM site_changes c WHERE c.site_uid = ?1 AND c.field = ?2 "
                                "ORDER BY c.made DESC, c.change_id DESC LIMIT 1");
    any.Bind(1, siteUid).Bind(2, field);
    if (any.Step()) heads.push_back(ChangeOf(db, any));
  }
  return heads;
}

std::optional<TFieldChange> TopHead(TDatabase& db, const std::string& siteUid, const std::string& field) {
  // Walked newest first, it stops at the first change nothing replaced:
  // with an index in that order a merge costs the same however long the
  // site's history.
  TStatement& s = db.Cached(std::string("SELECT ") + kChangeColumns +
                            " FROM site_changes c WHERE c.site_uid = ?1 AND c.field = ?2 AND" + kIsHead +
                            "ORDER BY c.made DESC, c.change_id DESC LIMIT 1");
  {
    const TResetWhenDone reset(s);
    s.Bind(1, siteUid).Bind(2, field);
    if (s.Step()) return ChangeOf(db, s);
  }
  const std::vector<TFieldChange> any = Heads(db, siteUid, field);  // only a cycle, or nothing
  if (any.empty()) return std::nullopt;
  return any.front();
}

std::vector<TFieldChange> ChangesOf(TDatabase& db, const std::string& siteUid) {
  TStatement& s = db.Cached(std::string("SELECT ") + kChangeColumns +
                            " FROM site_changes c WHERE c.site_uid = ?1 ORDER BY c.id");
  const TResetWhenDone reset(s);
  s.Bind(1, siteUid);
  std::vector<TFieldChange> list;
  while (s.Step()) list.push_back(ChangeOf(db, s));
  return list;
}

}  // namespace zarvex::sites
