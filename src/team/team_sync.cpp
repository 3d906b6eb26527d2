#include "team/team_sync.h"

#include <algorithm>
#include <map>
#include <set>

#include "settings/json_text.h"
#include "settings/settings_format.h"
#include "sites/field_changes.h"
#include "sites/sha256.h"
#include "sites/utc_time.h"
#include "team/pg_array.h"

namespace zarvex::team {

namespace {

using sites::TDatabase;
using sites::TFieldChange;
using sites::TSiteStore;
using sites::TSnapshotRecord;
using sites::TStatement;

// Rows a batch may hold: each batch is one transaction on both sides, and
// on a laptop each costs a sync of its journal to disk.
constexpr int kBatch = 8000;
constexpr int kSnapshotBatch = 4000;
constexpr size_t kSnapshotBatchBytes = 8 << 20;
// The line of a settings file that holds the keypad codes (0-based).
constexpr size_t kCodesLine = 2;

// What the server has confirmed, kept beside the sites so that any order of
// filing, refiling and syncing is sent exactly once it is confirmed.
void EnsureLedger(TDatabase& db) {
  db.Exec(
      "CREATE TABLE IF NOT EXISTS team_sent_changes(change_id TEXT PRIMARY KEY) WITHOUT ROWID;"
      "CREATE TABLE IF NOT EXISTS team_sent_snapshots(hash TEXT NOT NULL, taken TEXT NOT NULL, kind TEXT NOT NULL,"
      " PRIMARY KEY(hash, taken, kind)) WITHOUT ROWID;"
      "CREATE TABLE IF NOT EXISTS team_sent_sites(uid TEXT PRIMARY KEY) WITHOUT ROWID;"
      // Snapshots a pull added, by their ids (which only grow): confirmed by
      // coming from the server, without a ledger row each.
      "CREATE TABLE IF NOT EXISTS team_pulled_snapshots(first_id INTEGER PRIMARY KEY, last_id INTEGER NOT NULL);"
      // What the server refused at the last sync, and why: it waits here.
      "CREATE TABLE IF NOT EXISTS team_refused(item TEXT PRIMARY KEY, kind TEXT NOT NULL, reason TEXT NOT NULL) "
      "WITHOUT ROWID;"
      // Below the marks everything filed is confirmed; a snapshot filed
      // later under a site (it was unfiled) moves the mark back to it.
      // A site's history from the company may be long: its newest head is
      // found by walking this index, not by sorting the whole field.
      "CREATE INDEX IF NOT EXISTS team_heads_in_order ON site_changes(site_uid, field, made, change_id);"
      "INSERT OR IGNORE INTO meta VALUES('team.change_mark', '0'), ('team.snapshot_mark', '0');"
      "CREATE TRIGGER IF NOT EXISTS team_refiled AFTER UPDATE OF site_id ON snapshots "
      "WHEN NEW.site_id IS NOT NULL BEGIN "
      "UPDATE meta SET value = min(CAST(value AS INTEGER), NEW.id - 1) WHERE key = 'team.snapshot_mark'; END;");
}

// A snapshot `n` neither confirmed in the ledger nor added by a pull (the
// one range that can hold it is the nearest below it). A database whose
// ledger an older program made has no pulled ranges until its next sync.
const std::string kNotInLedger =
    "NOT EXISTS (SELECT 1 FROM team_sent_snapshots t WHERE t.hash = n.hash AND t.taken = n.taken AND "
    "t.kind = n.kind)";
const std::string kSnapshotUnconfirmed =
    kNotInLedger + " AND coalesce((SELECT p.last_id FROM team_pulled_snapshots p WHERE p.first_id <= n.id "
    "ORDER BY p.first_id DESC LIMIT 1), 0) < n.id";

int64_t Mark(TDatabase& db, const char* key) {
  TStatement s = db.Prepare("SELECT CAST(value AS INTEGER) FROM meta WHERE key = ?1");
  s.Bind(1, std::string(key));
  return s.Step() ? s.Int(0) : 0;
}

// Once nothing above the marks waits, they move up to the newest rows: the
// next sync looks only at what came after.
void RaiseMarks(TDatabase& db) {
  sites::TTransaction t(db);
  TStatement waiting = db.Prepare(
      "SELECT (SELECT count(*) FROM site_changes c WHERE c.id > ?1 AND c.change_id NOT IN "
      "(SELECT change_id FROM team_sent_changes)), (SELECT count(*) FROM snapshots n WHERE n.id > ?2 AND "
      "n.site_id IS NOT NULL AND " + kSnapshotUnconfirmed + "), (SELECT coalesce(max(id), 0) FROM site_changes), "
      "(SELECT coalesce(max(id), 0) FROM snapshots)");
  waiting.Bind(1, Mark(db, "team.change_mark")).Bind(2, Mark(db, "team.snapshot_mark"));
  if (!waiting.Step() || waiting.Int(0) != 0 || waiting.Int(1) != 0) return;
  // An unfiled snapshot may fall below the mark: filed later, the trigger
  // moves the mark back to it.
  db.Prepare("UPDATE meta SET value = ?1 WHERE key = 'team.change_mark'").Bind(1, std::to_string(waiting.Int(2))).Run();
  db.Prepare("UPDATE meta SET value = ?1 WHERE key = 'team.snapshot_mark'").Bind(1, std::to_string(waiting.Int(3))).Run();
  t.Commit();
}

int64_t NewestSnapshotId(TDatabase& db) {
  TStatement& s = db.Cached("SELECT coalesce(max(id), 0) FROM snapshots");
  const sites::TResetWhenDone reset(s);
  return s.Step() ? s.Int(0) : 0;
}

bool HasTable(TDatabase& db, const char* name) {
  TStatement s = db.Prepare("SELECT count(*) FROM sqlite_schema WHERE name = ?1");
  s.Bind(1, std::string(name));
  return s.Step() && s.Int(0) == 1;
}

std::string JsonArray(const std::vector<std::string>& items) {
  std::string out = "[";
  for (const std::string& item : items) out += (out.size() > 1 ? "," : "") + item;
  return out + "]";
}

std::string Field(const char* name, const std::string& value, bool first = false) {
  return std::string(first ? "" : ",") + "\"" + name + "\":" + JsonString(value);
}

std::vector<std::string> Parents(TStatement& query, const std::string& changeId) {
  const sites::TResetWhenDone reset(query);
  query.Bind(1, changeId);
  std::vector<std::string> parents;
  while (query.Step()) parents.push_back(query.Text(0));
  return parents;
}

// The ledger's three inserts, each prepared once for a whole batch.
struct TLedgerInserts {
  explicit TLedgerInserts(TDatabase& db)
      : site(db.Prepare("INSERT OR IGNORE INTO team_sent_sites VALUES(?1)")),
        change(db.Prepare("INSERT OR IGNORE INTO team_sent_changes VALUES(?1)")),
        snapshot(db.Prepare("INSERT OR IGNORE INTO team_sent_snapshots VALUES(?1, ?2, ?3)")) {}
  TStatement site, change, snapshot;
};

std::vector<std::string> Split(const std::string& text, char by) {
  std::vector<std::string> parts;
  if (text.empty()) return parts;
  size_t start = 0;
  for (size_t at; (at = text.find(by, start)) != std::string::npos; start = at + 1) parts.push_back(text.substr(start, at - start));
  parts.push_back(text.substr(start));
  return parts;
}

// Where this sync has got to in the local tables, so each batch starts
// where the last one ended, whether or not the server has answered yet.
struct TPushedUpTo {
  int64_t site = 0, change = 0, snapshot = 0;
};

// Rows on their way, as the server takes them.
struct TOutgoingSite {
  std::string uid, created, technician;
};

struct TOutgoingChange {
  std::string changeId, siteUid, field, value, made, technician, laptop;
  std::vector<std::string> parents;
};

// A snapshot on its way, its keypad codes apart.
struct TOutgoingSnapshot {
  std::string hash, taken, kind, siteUid, content, codes, programVersion, technician, model;
  int32_t firmware = 0;
  std::string Item() const { return hash + " " + taken + " " + kind; }
};

// One batch of what waits, to be sent in one server transaction and marked
// as sent here only once the server has committed it.
struct TPushBatch {
  std::vector<TOutgoingSite> sites;
  std::vector<TOutgoingChange> changes;
  std::vector<TOutgoingSnapshot> snapshots;
  size_t Rows() const { return sites.size() + changes.size() + snapshots.size(); }
};

// What the server said no to, by the row's name (a site's uid, a change's
// id, a snapshot's hash, time and kind).
using TRefusals = std::map<std::string, std::string>;

// What the server's schema offers: from version 4 every row travels as the
// bytes it is and is refused on its own; a version 3 server takes
// snapshots as text arrays and leaves a laptop's own pushes out of its
// pull; an older one is synced through the version 1 functions alone.
struct TServerFunctions {
  int version = 1;
};

TServerFunctions FunctionsOf(TPgConnection& server) {
  const std::vector<TRow> rows = server.Query(
      "SELECT to_regprocedure('zarvex.push_snapshot_files(text[], text[], text[], text[], bytea[], bytea[], text[], "
      "text[], text[], integer[])') IS NOT NULL, to_regprocedure('zarvex.push_snapshots(text[], text[], text[], "
      "text[], text[], text[], text[], text[], text[], integer[])') IS NOT NULL");
  if (rows.empty()) return {};
  if (rows[0][0] == "t") return {4};
  return {rows[0][1] == "t" ? 3 : 1};
}

// Sites first, then their changes, then their snapshots: a batch holds one
// kind, so the server has every site before anything that names it.
TPushBatch CollectBatch(TDatabase& db, TPushedUpTo& after) {
  TPushBatch batch;
  {
    TStatement& s = db.Cached(
        "SELECT uid, created, technician, id FROM sites WHERE id > ?2 AND uid NOT IN (SELECT uid FROM "
        "team_sent_sites) ORDER BY id LIMIT ?1");
    const sites::TResetWhenDone reset(s);
    s.Bind(1, int64_t{kBatch}).Bind(2, after.site);
    while (s.Step()) {
      after.site = s.Int(3);
      batch.sites.push_back({s.Text(0), s.Text(1), s.Text(2)});
    }
  }
  if (!batch.sites.empty()) return batch;
  {
    TStatement& s = db.Cached(
        "SELECT change_id, site_uid, field, value, made, technician, laptop, id FROM site_changes "
        "WHERE id > ?2 AND change_id NOT IN (SELECT change_id FROM team_sent_changes) ORDER BY id LIMIT ?1");
    const sites::TResetWhenDone reset(s);
    s.Bind(1, int64_t{kBatch}).Bind(2, after.change);
    TStatement& parentsOf =
        db.Cached("SELECT parent_id FROM site_change_parents WHERE change_id = ?1 ORDER BY parent_id");
    while (s.Step()) {
      after.change = s.Int(7);
      TOutgoingChange& c = batch.changes.emplace_back();
      c.changeId = s.Text(0);
      c.siteUid = s.Text(1);
      c.field = s.Text(2);
      c.value = s.Text(3);
      c.made = s.Text(4);
      c.technician = s.Text(5);
      c.laptop = s.Text(6);
      c.parents = Parents(parentsOf, c.changeId);
    }
  }
  if (!batch.changes.empty()) return batch;
  // Filed snapshots only: one not filed yet belongs to no site to share.
  // A batch stays well inside what the server takes in one call.
  TStatement& s = db.Cached(
      "SELECT n.hash, n.taken, n.kind, s.uid, n.content, n.program_version, n.technician, n.model, n.firmware, "
      "n.id FROM snapshots n JOIN sites s ON s.id = n.site_id WHERE n.id > ?2 AND " + kSnapshotUnconfirmed +
      " ORDER BY n.id LIMIT ?1");
  const sites::TResetWhenDone reset(s);
  s.Bind(1, int64_t{kSnapshotBatch}).Bind(2, after.snapshot);
  size_t bytes = 0;
  while (bytes < kSnapshotBatchBytes && s.Step()) {
    after.snapshot = s.Int(9);
    TOutgoingSnapshot& out = batch.snapshots.emplace_back();
    out.hash = s.Text(0);
    out.taken = s.Text(1);
    out.kind = s.Text(2);
    out.siteUid = s.Text(3);
    out.content = WithoutCodes(s.Text(4), &out.codes);
    out.programVersion = s.Text(5);
    out.technician = s.Text(6);
    out.model = s.Text(7);
    out.firmware = static_cast<int32_t>(s.Int(8));
    bytes += out.content.size() + out.codes.size();
  }
  return batch;
}

bool IsUtf8(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    const auto b = static_cast<unsigned char>(text[i]);
    size_t length = b < 0x80 ? 1 : (b >> 5) == 0x6 ? 2 : (b >> 4) == 0xE ? 3 : (b >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || b == 0 || i + length > text.size()) return false;
    for (size_t k = 1; k < length; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) >> 6) != 0x2) return false;
    }
    if (length == 2 && b < 0xC2) return false;  // overlong
    i += length;
  }
  return true;
}

bool AllUtf8(std::initializer_list<std::string_view> texts) {
  return std::all_of(texts.begin(), texts.end(), IsUtf8);
}

bool TextsAreUtf8(const TOutgoingSite& r) { return AllUtf8({r.uid, r.created, r.technician}); }
bool TextsAreUtf8(const TOutgoingChange& r) {
  return AllUtf8({r.changeId, r.siteUid, r.field, r.made, r.technician, r.laptop}) &&
         std::all_of(r.parents.begin(), r.parents.end(), IsUtf8);
}
bool TextsAreUtf8(const TOutgoingSnapshot& r) {
  return AllUtf8({r.hash, r.taken, r.kind, r.siteUid, r.programVersion, r.technician, r.model});
}
std::string ItemOf(const TOutgoingSite& r) { return r.uid; }
std::string ItemOf(const TOutgoingChange& r) { return r.changeId; }
std::string ItemOf(const TOutgoingSnapshot& r) { return r.Item(); }

// The server holds these columns as text: a row with bytes that are no
// UTF-8 (a name from an old file, say) would refuse the whole call, so it
// stays here, named, and the rest goes.
template <typename T>
void KeepBackNonUtf8(std::vector<T>& rows, TRefusals& refused) {
  const auto bad = std::stable_partition(rows.begin(), rows.end(), [](const T& r) { return TextsAreUtf8(r); });
  for (auto r = bad; r != rows.end(); ++r) {
    refused[ItemOf(*r)] = "в названиях или именах есть байты не в UTF-8: сервер их не примет";
  }
  rows.erase(bad, rows.end());
}

std::string SitesJson(const std::vector<TOutgoingSite>& sites) {
  std::vector<std::string> items;
  for (const TOutgoingSite& r : sites) {
    items.push_back("{" + Field("uid", r.uid, true) + Field("created", r.created) + Field("technician", r.technician) + "}");
  }
  return JsonArray(items);
}

std::string ChangesJson(const std::vector<TOutgoingChange>& changes) {
  std::vector<std::string> items;
  for (const TOutgoingChange& c : changes) {
    std::vector<std::string> parents;
    for (const std::string& p : c.parents) parents.push_back(JsonString(p));
    items.push_back("{" + Field("change_id", c.changeId, true) + Field("site_uid", c.siteUid) + Field("field", c.field) +
                    Field("value", c.value) + Field("made", c.made) + Field("technician", c.technician) +
                    Field("laptop", c.laptop) + ",\"parents\":" + JsonArray(parents) + "}");
  }
  return JsonArray(items);
}

std::string SnapshotsJson(const std::vector<TOutgoingSnapshot>& snapshots) {
  std::vector<std::string> items;
  for (const TOutgoingSnapshot& n : snapshots) {
    items.push_back("{" + Field("hash", n.hash, true) + Field("taken", n.taken) + Field("kind", n.kind) +
                    Field("site_uid", n.siteUid) + Field("content", n.content) + Field("codes", n.codes) +
                    Field("program_version", n.programVersion) + Field("technician", n.technician) +
                    Field("model", n.model) + ",\"firmware\":" + std::to_string(n.firmware) + "}");
  }
  return JsonArray(items);
}

// One array per column, in PostgreSQL's binary form; the file and its
// codes as bytes for a version 4 server.
std::vector<std::string> SnapshotArrays(const std::vector<TOutgoingSnapshot>& snapshots, bool bytes) {
  std::vector<TPgArray> columns(9, TPgArray::OfText());
  columns[4] = columns[5] = bytes ? TPgArray::OfBytes() : TPgArray::OfText();
  TPgArray firmware = TPgArray::OfIntegers();
  for (const TOutgoingSnapshot& n : snapshots) {
    size_t c = 0;
    for (const std::string* field : {&n.hash, &n.taken, &n.kind, &n.siteUid, &n.content, &n.codes,
                                     &n.programVersion, &n.technician, &n.model}) {
      columns[c++].Add(*field);
    }
    firmware.Add(n.firmware);
  }
  std::vector<std::string> out;
  for (const TPgArray& column : columns) out.push_back(column.Bytes());
  out.push_back(firmware.Bytes());
  return out;
}

std::vector<std::string> SiteArrays(const std::vector<TOutgoingSite>& sites) {
  std::vector<TPgArray> columns(3, TPgArray::OfText());
  for (const TOutgoingSite& r : sites) {
    columns[0].Add(r.uid);
    columns[1].Add(r.created);
    columns[2].Add(r.technician);
  }
  return {columns[0].Bytes(), columns[1].Bytes(), columns[2].Bytes()};
}

std::vector<std::string> ChangeArrays(const std::vector<TOutgoingChange>& changes) {
  std::vector<TPgArray> columns(8, TPgArray::OfText());
  columns[3] = TPgArray::OfBytes();
  for (const TOutgoingChange& c : changes) {
    std::string parents;
    for (const std::string& p : c.parents) parents += (parents.empty() ? "" : ",") + p;
    size_t k = 0;
    for (const std::string* field : {&c.changeId, &c.siteUid, &c.field, &c.value, static_cast<const std::string*>(&parents), &c.made, &c.technician,
                                     &c.laptop}) {
      columns[k++].Add(*field);
    }
  }
  std::vector<std::string> out;
  for (const TPgArray& column : columns) out.push_back(column.Bytes());
  return out;
}

// Each push answers with how many rows were new and, from a version 3
// server, the transaction it made, so the pull can leave it out; from a
// version 4 server also each row it refused.
void SendBatch(TPgConnection& server, const TServerFunctions& functions, const TPushBatch& batch) {
  if (functions.version >= 4) {
    if (!batch.sites.empty()) {
      server.SendBinary("SELECT item, refusal, added, xid FROM zarvex.push_sites($1::text[], $2::text[], $3::text[])",
                        SiteArrays(batch.sites));
    } else if (!batch.changes.empty()) {
      server.SendBinary(
          "SELECT item, refusal, added, xid FROM zarvex.push_changes($1::text[], $2::text[], $3::text[], "
          "$4::bytea[], $5::text[], $6::text[], $7::text[], $8::text[])",
          ChangeArrays(batch.changes));
    } else {
      server.SendBinary(
          "SELECT item, refusal, added, xid FROM zarvex.push_snapshot_files($1::text[], $2::text[], $3::text[], "
          "$4::text[], $5::bytea[], $6::bytea[], $7::text[], $8::text[], $9::text[], $10::integer[])",
          SnapshotArrays(batch.snapshots, true));
    }
  } else if (functions.version < 3) {
    server.Send("SELECT zarvex.push($1::jsonb, $2::jsonb, $3::jsonb)",
                {SitesJson(batch.sites), ChangesJson(batch.changes), SnapshotsJson(batch.snapshots)});
  } else if (batch.snapshots.empty()) {
    server.Send(
        "SELECT p.added, pg_current_xact_id_if_assigned() FROM (SELECT zarvex.push($1::jsonb, $2::jsonb, "
        "'[]'::jsonb) AS added OFFSET 0) p",
        {SitesJson(batch.sites), ChangesJson(batch.changes)});
  } else {
    server.SendBinary(
        "SELECT added, xid FROM zarvex.push_snapshots($1::text[], $2::text[], $3::text[], $4::text[], $5::text[], "
        "$6::text[], $7::text[], $8::text[], $9::text[], $10::integer[])",
        SnapshotArrays(batch.snapshots, false));
  }
}

// The server's answer to a push; the transaction it names joins `own`,
// the rows it refused join `refused`.
void TakeAnswer(TPgConnection& server, const TServerFunctions& functions, std::vector<std::string>& own,
                TRefusals& refused) {
  const std::vector<TRow> rows = server.Receive();
  if (functions.version < 4) {
    if (!rows.empty() && rows[0].size() > 1 && rows[0][1]) own.push_back(*rows[0][1]);
    return;
  }
  for (const TRow& r : rows) {
    if (r.size() < 4) continue;
    if (!r[0]) {
      if (r[3]) own.push_back(*r[3]);
    } else {
      refused[*r[0]] = r[1].value_or("");
    }
  }
}

// Committed there (a single statement is its own transaction): now here,
// but for what the server refused, which waits with its reason.
void ConfirmBatch(TDatabase& db, const TPushBatch& batch, const TRefusals& refused, TSyncReport& report) {
  sites::TTransaction t(db);
  TLedgerInserts sent(db);
  TStatement& keep = db.Cached("INSERT OR REPLACE INTO team_refused VALUES(?1, ?2, ?3)");
  const auto confirm = [&](const std::string& item, const char* kind, TStatement& ledger, int& count) {
    if (const auto r = refused.find(item); r != refused.end()) {
      keep.Bind(1, item).Bind(2, std::string(kind)).Bind(3, r->second).Run();
      return false;
    }
    ledger.Run();
    ++count;
    return true;
  };
  for (const TOutgoingSite& r : batch.sites) confirm(r.uid, "site", sent.site.Bind(1, r.uid), report.sitesSent);
  for (const TOutgoingChange& c : batch.changes) {
    confirm(c.changeId, "change", sent.change.Bind(1, c.changeId), report.changesSent);
  }
  for (const TOutgoingSnapshot& n : batch.snapshots) {
    confirm(n.Item(), "snapshot", sent.snapshot.Bind(1, n.hash).Bind(2, n.taken).Bind(3, n.kind),
            report.snapshotsSent);
  }
  t.Commit();
}

// Each batch goes as soon as the one before it is committed; the next is
// read, and the one committed is marked here, while the server works. The
// transactions the server made of them are added to `own`.
void Push(TSiteStore& store, TPgConnection& server, const TServerFunctions& functions, TSyncReport& report,
          TPushedUpTo after, std::vector<std::string>& own) {
  TDatabase& db = store.Database();
  {
    sites::TTransaction t(db);
    db.Exec("DELETE FROM team_refused");  // told again by this sync, or gone
    t.Commit();
  }
  // What this laptop refuses to send itself is kept as the server's refusals are.
  TRefusals refused;
  const auto collect = [&] {
    TPushBatch batch;
    for (;;) {
      batch = CollectBatch(db, after);
      const size_t rows = batch.Rows();
      if (functions.version >= 4) {
        TRefusals here;
        KeepBackNonUtf8(batch.sites, here);
        KeepBackNonUtf8(batch.changes, here);
        KeepBackNonUtf8(batch.snapshots, here);
        if (!here.empty()) {
          sites::TTransaction t(db);
          for (const auto& [item, reason] : here) {
            db.Cached("INSERT OR REPLACE INTO team_refused VALUES(?1, 'local', ?2)").Bind(1, item).Bind(2, reason).Run();
          }
          t.Commit();
        }
      }
      // A batch all of which stays here is passed over, not sent empty.
      if (batch.Rows() > 0 || rows == 0) return batch;
    }
  };
  TPushBatch sending = collect();
  if (sending.Rows() == 0) return;
  SendBatch(server, functions, sending);
  for (;;) {
    TPushBatch next;
    try {
      next = collect();
    } catch (...) {
      // What is on its way is still marked here when the server commits it.
      try {
        TakeAnswer(server, functions, own, refused);
        ConfirmBatch(db, sending, refused, report);
      } catch (...) {
        // Unknown: sent again next time, and the server skips it then.
      }
      throw;
    }
    TakeAnswer(server, functions, own, refused);
    try {
      if (next.Rows() > 0) SendBatch(server, functions, next);
    } catch (...) {
      try {
        ConfirmBatch(db, sending, refused, report);  // committed there, so marked here all the same
      } catch (...) {
        // Sent again next time, and the server skips it then.
      }
      throw;
    }
    try {
      ConfirmBatch(db, sending, refused, report);
    } catch (...) {
      // The connection is left with nothing on its way; what the server
      // committed and this laptop did not mark goes again, and is skipped.
      try {
        if (server.Sent()) server.Receive();
      } catch (...) {
      }
      throw;
    }
    if (next.Rows() == 0) return;
    sending = std::move(next);
  }
}

// Where the keypad codes line begins, as the settings format reads lines
// (an LF ends one, whatever comes before it); npos in a file too short to
// hold it.
size_t CodesLineStart(const std::string& content) {
  size_t start = 0;
  for (size_t line = 0; line < kCodesLine; ++line) {
    start = content.find('\n', start);
    if (start == std::string::npos) return start;
    start += 1;
  }
  return start;
}

// Where its text ends: before its line end (LF, or CR LF).
size_t CodesLineEnd(const std::string& content, size_t start) {
  size_t end = content.find('\n', start);
  if (end == std::string::npos) end = content.size();
  if (end > start && content[end - 1] == '\r') --end;
  return end;
}

struct TCursor {
  std::string xid = "0";
  std::string seq = "0";
};

TCursor CursorAfter(const std::vector<TRow>& rows) {
  const TRow& last = rows.back();
  return {last[1].value_or("0"), last[2].value_or("0")};
}

TCursor CursorOf(TSiteStore& store) {
  TCursor c;
  const std::string text = store.Meta("team.cursor");
  if (const size_t colon = text.find(':'); colon != std::string::npos) {
    c.xid = text.substr(0, colon);
    c.seq = text.substr(colon + 1);
  }
  return c;
}

// From a version 3 server, without the rows of this sync's own pushes: a
// row `own` stands for each of those transactions.
void AskForBatch(TPgConnection& server, const TServerFunctions& functions, const std::vector<std::string>& own,
                 const TCursor& after) {
  const std::string columns =
      "SELECT what, xid, seq, site_uid, created, technician, change_id, field, value, parents, made, laptop, hash, "
      "taken, kind, content, codes, program_version, model, firmware ";
  if (functions.version < 3) {
    server.Send(columns + "FROM zarvex.pull($1::xid8, $2::bigint, $3)", {after.xid, after.seq, std::to_string(kBatch)});
    return;
  }
  std::string ownList = "{";
  for (const std::string& xid : own) ownList += (ownList.size() > 1 ? "," : "") + xid;
  server.Send(columns + (functions.version >= 4 ? ", pushed_by FROM zarvex.pull_rows" : "FROM zarvex.pull") +
                  "($1::xid8, $2::bigint, $3, $4::xid8[])",
              {after.xid, after.seq, std::to_string(kBatch), ownList + "}"});
}

// One batch of what the server holds after the cursor, taken in with the
// cursor moved in the same local transaction.
void TakeBatch(TSiteStore& store, const TServerFunctions& functions, const std::vector<TRow>& rows, bool fillMasked,
               TSyncReport& report) {
  const auto text = [](const std::optional<std::string>& v) { return v ? *v : std::string(); };
  const auto bytes = [&](const std::optional<std::string>& v) { return functions.version >= 4 ? ByteaOf(v) : text(v); };
  TDatabase& db = store.Database();
  store.BeforeWrite();
  sites::TTransaction t(db);
  TLedgerInserts sent(db);
  std::map<std::string, std::vector<TFieldChange>> changesBySite;
  std::vector<std::string> siteOrder;
  std::vector<std::pair<std::string, TSnapshotRecord>> snapshots;
  std::map<std::string, sites::TSite> newSites;
  const int64_t newestBefore = NewestSnapshotId(db);
  for (const TRow& r : rows) {
    const std::string what = text(r[0]), uid = text(r[3]);
    // `own` stands for rows this laptop pushed itself: only the cursor moves.
    if (what == "site") {
      sent.site.Bind(1, uid).Run();
      if (!store.SiteByUid(uid)) {
        sites::TSite site;
        site.uid = uid;
        site.created = text(r[4]);
        site.changed = site.created;
        site.technician = text(r[5]);
        newSites[uid] = site;
      }
    } else if (what == "change") {
      // Already here (this laptop pushed it, or took it before): nothing to merge.
      sent.change.Bind(1, text(r[6])).Run();
      if (db.Changes() == 0) continue;
      TFieldChange c;
      c.changeId = text(r[6]);
      c.siteUid = uid;
      c.field = text(r[7]);
      c.value = bytes(r[8]);
      c.parents = Split(text(r[9]), ',');
      c.made = text(r[10]);
      c.technician = text(r[5]);
      c.laptop = text(r[11]);
      if (!changesBySite.count(uid)) siteOrder.push_back(uid);
      changesBySite[uid].push_back(std::move(c));
    } else if (what == "snapshot") {
      TSnapshotRecord s;
      s.hash = text(r[12]);
      s.taken = text(r[13]);
      s.kind = text(r[14]);
      // Without the codes for a role that may not see them: kept so, never
      // passed off as whole.
      // A masked one is named by what came, from a version 4 server.
      s.content = r[16] ? WithCodes(bytes(r[15]), bytes(r[16])) : bytes(r[15]);
      const bool whole = r[16] || functions.version < 4;
      if (r[16] && sites::Sha256Hex(s.content) != s.hash) continue;  // not what it claims: left out
      if (!whole && MaskedHash(s.content) != s.hash) continue;
      s.programVersion = text(r[17]);
      s.technician = text(r[5]);
      s.model = text(r[18]);
      s.firmware = r[19] ? std::stoi(*r[19]) : 0;
      snapshots.emplace_back(uid, std::move(s));
    }
  }
  for (auto& [uid, site] : newSites) {
    // Its name arrives with its changes; until then the row needs one.
    site.name = "…";
    store.AddSiteRow(site);
    ++report.sitesTaken;
  }
  for (const std::string& uid : siteOrder) {
    const std::optional<sites::TSite> site = store.SiteByUid(uid);
    if (!site) continue;  // a site this laptop may not see
    report.changesTaken += store.MergeChanges(site->id, changesBySite[uid]);
  }
  std::map<std::string, int64_t> siteIds;  // a batch's snapshots come by the hundred per site
  struct TNewestRead {
    int64_t siteId = 0;
    sites::TPanelIdentity identity;
    std::string taken;
  };
  std::map<std::string, TNewestRead> newestReads;  // and the reads of one panel
  for (auto& [uid, s] : snapshots) {
    auto known = siteIds.find(uid);
    if (known == siteIds.end()) {
      const std::optional<sites::TSite> site = store.SiteByUid(uid);
      known = siteIds.emplace(uid, site ? site->id : 0).first;
    }
    if (known->second == 0) continue;  // a site this laptop may not see
    s.siteId = known->second;
    if (fillMasked && !LacksCodes(s)) {
      // Held here without its codes (his rights have grown since): now whole.
      TStatement& fill = db.Cached("UPDATE snapshots SET hash = ?1, content = ?2 WHERE hash = ?3 AND taken = ?4 AND kind = ?5");
      fill.Bind(1, s.hash).Bind(2, s.content).Bind(3, MaskedHash(WithoutCodes(s.content))).Bind(4, s.taken)
          .Bind(5, s.kind).Run();
      if (db.Changes() > 0) {
        ++report.snapshotsTaken;
        continue;
      }
    }
    if (!store.AddSnapshot(s)) {
      // Here before (this laptop's own, perhaps not confirmed yet): it is on the server.
      sent.snapshot.Bind(1, s.hash).Bind(2, s.taken).Bind(3, s.kind).Run();
      continue;
    }
    ++report.snapshotsTaken;
    // A site's panels are what its reads found, so they travel with the
    // reads: the same record on every laptop as where the read was made.
    if (s.kind == "read") {
      TCFG cfg;
      ParseSettings(s.content, cfg);  // without codes too: their line is only empty
      const sites::TPanelIdentity identity = sites::IdentityOf(cfg);
      // Of one panel's reads in a batch only the newest can change its record.
      const std::string panel = std::to_string(known->second) + "\n" +
                                (identity.panelId.empty() ? "\n" + identity.serverPhone + "\n" + identity.checkPhone
                                                          : identity.panelId);
      TNewestRead& newest = newestReads[panel];
      if (newest.taken.empty() || s.taken > newest.taken) newest = {known->second, identity, s.taken};
    }
  }
  std::vector<const TNewestRead*> byTime;
  for (const auto& [panel, read] : newestReads) byTime.push_back(&read);
  std::stable_sort(byTime.begin(), byTime.end(), [](const TNewestRead* a, const TNewestRead* b) { return a->taken < b->taken; });
  for (const TNewestRead* read : byTime) store.KeepPanel(read->siteId, read->identity, read->taken);
  // Every snapshot added since the batch began is one of the server's
  // (nothing else writes while this transaction holds the database).
  if (const int64_t newest = NewestSnapshotId(db); newest > newestBefore) {
    TStatement& extend = db.Cached(
        "UPDATE team_pulled_snapshots SET last_id = ?2 WHERE first_id = (SELECT max(first_id) FROM "
        "team_pulled_snapshots) AND last_id = ?1");
    extend.Bind(1, newestBefore).Bind(2, newest).Run();
    if (db.Changes() == 0) {
      db.Cached("INSERT INTO team_pulled_snapshots VALUES(?1, ?2)").Bind(1, newestBefore + 1).Bind(2, newest).Run();
    }
  }
  const TCursor reached = CursorAfter(rows);
  store.SetMeta("team.cursor", reached.xid + ":" + reached.seq);
  t.Commit();
}

// The next batch is asked for before this one is taken in: the server
// reads it while the laptop writes.
void Pull(TSiteStore& store, TPgConnection& server, const TServerFunctions& functions,
          const std::vector<std::string>& own, TSyncReport& report) {
  // Only a laptop that holds masked snapshots looks for them.
  TStatement masked = store.Database().Prepare("SELECT 1 FROM snapshots WHERE hash >= 'm' AND hash < 'n' LIMIT 1");
  const bool fillMasked = masked.Step();
  AskForBatch(server, functions, own, CursorOf(store));
  for (std::vector<TRow> rows; !(rows = server.Receive()).empty();) {
    AskForBatch(server, functions, own, CursorAfter(rows));
    try {
      TakeBatch(store, functions, rows, fillMasked, report);
    } catch (...) {
      try {
        server.Receive();  // the connection is left with nothing on its way
      } catch (...) {
      }
      throw;
    }
  }
}

}  // namespace

std::string WithoutCodes(const std::string& content, std::string* codes) {
  const size_t start = CodesLineStart(content);
  if (codes) codes->clear();
  if (start == std::string::npos) return content;
  const size_t end = CodesLineEnd(content, start);
  if (codes) *codes = content.substr(start, end - start);
  return content.substr(0, start) + content.substr(end);
}

std::string WithCodes(const std::string& masked, const std::string& codes) {
  const size_t start = CodesLineStart(masked);
  if (start == std::string::npos) return masked;
  return masked.substr(0, start) + codes + masked.substr(start);
}

std::string MaskedHash(const std::string& masked) { return "m" + sites::Sha256Hex(masked); }

bool LacksCodes(const TSnapshotRecord& snapshot) {
  // A masked snapshot is named by what it holds; one an older program
  // took keeps the whole file's hash.
  return snapshot.hash == MaskedHash(snapshot.content) || sites::Sha256Hex(snapshot.content) != snapshot.hash;
}

void SaveServerAddress(TSiteStore& store, const TServerAddress& a) {
  store.BeforeWrite();
  sites::TTransaction t(store.Database());
  EnsureLedger(store.Database());
  store.SetMeta("team.host", a.host);
  store.SetMeta("team.port", a.port);
  store.SetMeta("team.database", a.database);
  store.SetMeta("team.user", a.user);
  store.SetMeta("team.ca", a.caFile);
  store.SetMeta("team.cert", a.certFile);
  store.SetMeta("team.key", a.keyFile);
  t.Commit();
}

TServerAddress ServerAddress(TSiteStore& store) {
  TServerAddress a;
  a.host = store.Meta("team.host");
  a.port = store.Meta("team.port");
  a.database = store.Meta("team.database");
  a.user = store.Meta("team.user");
  a.caFile = store.Meta("team.ca");
  a.certFile = store.Meta("team.cert");
  a.keyFile = store.Meta("team.key");
  return a;
}

TSyncStatus SyncStatus(TSiteStore& store) {
  TSyncStatus status;
  status.lastSync = store.Meta("team.last_sync");
  status.lastProblem = store.Meta("team.last_problem");
  TDatabase& db = store.Database();
  if (!HasTable(db, "team_sent_changes")) return status;
  // Below the marks all is confirmed, with or without a ledger row.
  TStatement c = db.Prepare(
      "SELECT count(*) FROM site_changes WHERE id > ?1 AND change_id NOT IN (SELECT change_id FROM "
      "team_sent_changes)");
  c.Bind(1, Mark(db, "team.change_mark"));
  status.changesWaiting = c.Step() ? static_cast<int>(c.Int(0)) : 0;
  TStatement s = db.Prepare("SELECT count(*) FROM snapshots n WHERE n.id > ?1 AND n.site_id IS NOT NULL AND " +
                            (HasTable(db, "team_pulled_snapshots") ? kSnapshotUnconfirmed : kNotInLedger));
  s.Bind(1, Mark(db, "team.snapshot_mark"));
  status.snapshotsWaiting = s.Step() ? static_cast<int>(s.Int(0)) : 0;
  if (HasTable(db, "team_refused")) {
    TStatement r = db.Prepare("SELECT item, reason FROM team_refused ORDER BY kind, item");
    while (r.Step()) status.refused.emplace_back(r.Text(0), r.Text(1));
  }
  return status;
}

namespace {

// Snapshots an older program took without their codes kept the whole
// file's hash, from which a code can be guessed: once, each is named by
// what it holds.
void NameMaskedSnapshots(TDatabase& db) {
  if (Mark(db, "team.masked_named") != 0) return;
  std::vector<std::pair<int64_t, std::string>> renamed;
  {
    TStatement s = db.Prepare("SELECT id, hash, content FROM snapshots WHERE hash NOT LIKE 'm%'");
    while (s.Step()) {
      const std::string content = s.Text(2);
      if (sites::Sha256Hex(content) != s.Text(1)) renamed.emplace_back(s.Int(0), MaskedHash(content));
    }
  }
  TStatement rename = db.Prepare("UPDATE OR IGNORE snapshots SET hash = ?2 WHERE id = ?1");
  for (const auto& [id, hash] : renamed) rename.Bind(1, id).Bind(2, hash).Run();
  db.Exec("INSERT OR REPLACE INTO meta VALUES('team.masked_named', '1')");
}

// Tells the server this laptop synced, so the administrator sees who has
// not: only a record, so a failure here costs the sync nothing.
void RecordSync(TSiteStore& store, TPgConnection& server, const TSyncReport& r) {
  try {
    if (server.Query("SELECT to_regprocedure('zarvex.record_sync(text, integer, integer, integer, integer)') IS NOT "
                     "NULL")[0][0] != std::string("t")) {
      return;
    }
    const TSyncStatus status = SyncStatus(store);
    server.Query("SELECT zarvex.record_sync($1, $2, $3, $4, $5)",
                 {sites::LaptopName(), std::to_string(r.sitesSent + r.changesSent + r.snapshotsSent),
                  std::to_string(r.sitesTaken + r.changesTaken + r.snapshotsTaken),
                  std::to_string(status.changesWaiting + status.snapshotsWaiting), std::to_string(status.refused.size())});
  } catch (const TeamError&) {
    // Told again at the next sync.
  }
}

// When the administrator has changed this login's role, branch or codes
// since the last sync, the cursor goes back to the start, once: the pull
// then brings all it may now see (what is here already is skipped) and
// the codes of snapshots it holds masked.
void TakeRightsAnew(TSiteStore& store, TPgConnection& server) {
  const std::vector<TRow> me = server.Query("SELECT rights FROM zarvex.whoami()");
  if (me.empty() || !me[0][0]) throw TeamForbidden("Сервер компании: этот вход больше не техник компании");
  if (store.Meta("team.rights") == *me[0][0]) return;
  store.BeforeWrite();
  sites::TTransaction t(store.Database());
  store.SetMeta("team.rights", *me[0][0]);
  store.SetMeta("team.cursor", "0:0");
  t.Commit();
}

// A sync may take in a company's whole history: for its length the
// connection keeps more pages in memory and copies its journal into the
// database once at the end rather than every few megabytes.
class TBulkWork {
 public:
  explicit TBulkWork(TDatabase& db)
      : db_(db), cacheSize_(Setting("cache_size")), autoCheckpoint_(Setting("wal_autocheckpoint")) {
    db_.Exec("PRAGMA cache_size = -65536; PRAGMA wal_autocheckpoint = 16384");
  }
  ~TBulkWork() {
    try {
      db_.Exec("PRAGMA cache_size = " + std::to_string(cacheSize_) +
               "; PRAGMA wal_autocheckpoint = " + std::to_string(autoCheckpoint_) + "; PRAGMA wal_checkpoint(PASSIVE)");
    } catch (...) {
      // Only housekeeping: the next write's own checkpoint does it.
    }
  }
  TBulkWork(const TBulkWork&) = delete;
  TBulkWork& operator=(const TBulkWork&) = delete;

 private:
  int64_t Setting(const char* name) {
    TStatement s = db_.Prepare(std::string("PRAGMA ") + name);
    if (!s.Step()) throw sites::SitesError(std::string("База объектов: нет настройки ") + name);
    return s.Int(0);
  }
  TDatabase& db_;
  const int64_t cacheSize_, autoCheckpoint_;
};

}  // namespace

TSyncReport Sync(TSiteStore& store, TPgConnection& server) {
  TSyncReport report;
  store.BeforeWrite();
  {
    sites::TTransaction t(store.Database());
    EnsureLedger(store.Database());
    NameMaskedSnapshots(store.Database());
    t.Commit();
  }
  const TBulkWork bulk(store.Database());
  try {
    const TServerFunctions functions = FunctionsOf(server);
    if (functions.version >= 4) TakeRightsAnew(store, server);
    std::vector<std::string> own;
    Push(store, server, functions, report,
         {0, Mark(store.Database(), "team.change_mark"), Mark(store.Database(), "team.snapshot_mark")}, own);
    RaiseMarks(store.Database());
    Pull(store, server, functions, own, report);
    RaiseMarks(store.Database());  // what came in is confirmed too
  } catch (const TeamError& e) {
    store.SetMeta("team.last_problem", e.what());
    throw;
  }
  store.SetMeta("team.last_problem", "");
  store.SetMeta("team.last_sync", sites::NowUtc());
  RecordSync(store, server, report);
  return report;
}

}  // namespace zarvex::team
