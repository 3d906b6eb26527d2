#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

namespace zarvex::sites {

// A failure of the site database, worded for the installer (UTF-8).
class SitesError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The work was stopped on the user's word (Ctrl+C, SIGTERM) or by its
// deadline; whatever it had begun is rolled back.
class SitesInterrupted : public SitesError {
 public:
  using SitesError::SitesError;
};

// Another program held the database longer than this one waits; nothing
// was changed, and the same work may simply be tried again.
class SitesBusy : public SitesError {
 public:
  using SitesError::SitesError;
};

// A write was asked of a database this program may only read.
class SitesReadOnly : public SitesError {
 public:
  using SitesError::SitesError;
};

// The database's file is damaged; `backup` is the newest healthy rolling
// copy, empty when there is none (or not looked for).
class SitesDamaged : public SitesError {
 public:
  SitesDamaged(const std::string& what, std::string backup) : SitesError(what), backup_(std::move(backup)) {}
  const std::string& Backup() const { return backup_; }

 private:
  std::string backup_;
};

class TStatement;

// When a long piece of work must end: a flag a signal handler sets, and a
// deadline. Checked while SQLite works and while it waits for a lock.
struct TStopWhen {
  const std::atomic<bool>* flag = nullptr;
  std::optional<std::chrono::steady_clock::time_point> deadline;
  bool Now() const {
    return (flag && flag->load()) || (deadline && std::chrono::steady_clock::now() >= *deadline);
  }
};

// One connection to an SQLite file: a bounded, stoppable busy wait instead of
// "database is locked", foreign keys on. Throws SitesError.
class TDatabase {
 public:
  enum class Mode {
    OpenOrCreate,
    OpenExisting,
    ReadOnly,
    // A file nobody else writes (a private copy): read without locks or a
    // journal, so nothing is ever created beside it.
    Immutable,
  };
  TDatabase(const std::string& path, Mode mode);
  ~TDatabase();
  TDatabase(const TDatabase&) = delete;
  TDatabase& operator=(const TDatabase&) = delete;

  void Exec(const std::string& sql);
  TStatement Prepare(const std::string& sql);
  // The same statement prepared once and kept for this connection's life,
  // reset for use: for what runs once per row of a large batch.
  TStatement& Cached(const std::string& sql);
  int64_t LastInsertId() const;
  int Changes() const;
  sqlite3* Handle() { return db_; }
  const std::string& Path() const { return path_; }
  bool ReadOnly() const { return readOnly_; }
  // Throws SitesError with `what` and SQLite's own words (SitesInterrupted
  // when the stop said so).
  [[noreturn]] void Fail(const std::string& what) const;

  // Sets the journal mode and returns the one SQLite took (it may refuse).
  std::string JournalMode(const std::string& mode);
  // How long a write waits for another program's; stoppable all along.
  void SetBusyWait(std::chrono::milliseconds wait);
  void SetStop(const TStopWhen& stop) { stop_ = stop; }
  // Throws SitesInterrupted when the stop says so; for work too short for
  // SQLite's own check to come round.
  void CheckStop() const;
  const TStopWhen& Stop() const { return stop_; }
  // Whether a transaction is open on this connection.
  bool InTransaction() const;
  // For a file from elsewhere: no writes to the schema, no functions the
  // schema names, texts and blobs no longer than `maxLength` bytes.
  void Harden(int maxLength);
  // "ok", or what PRAGMA quick_check (and, for a stranger's file,
  // cell_size_check) found wrong, in SQLite's words.
  std::string QuickCheck(bool cellSizeCheck = false);

  // Set when a rollback failed: the connection is not used again.
  void Poison() { poisoned_ = true; }

 private:
  static int BusyHandler(void* self, int count);
  static int ProgressHandler(void* self);

  sqlite3* db_ = nullptr;
  std::map<std::string, std::unique_ptr<TStatement>> cached_;
  std::string path_;
  bool readOnly_ = false;
  bool poisoned_ = false;
  TStopWhen stop_;
  std::chrono::milliseconds busyWait_{10000};
};

// A prepared statement; binds count from 1, columns from 0.
class TStatement {
 public:
  TStatement(TDatabase& db, sqlite3_stmt* stmt) : db_(&db), stmt_(stmt) {}
  TStatement(TStatement&& other) noexcept;
  ~TStatement();
  TStatement(const TStatement&) = delete;
  TStatement& operator=(const TStatement&) = delete;

  TStatement& Bind(int index, const std::string& text);
  TStatement& Bind(int index, int64_t value);
  TStatement& BindNull(int index);
  TStatement& Bind(int index, const std::optional<int64_t>& value);
  // True while a row is there.
  bool Step();
  // Runs a statement that returns no rows.
  void Run();
  void Reset();
  std::string Text(int column) const;
  int64_t Int(int column) const;
  bool IsNull(int column) const;
  bool IsText(int column) const;
  bool IsInteger(int column) const;

 private:
  void Check(int rc);
  TDatabase* db_;
  sqlite3_stmt* stmt_;
};

// Resets a cached statement when its use ends, returns and throws included,
// so no read stays open on the connection between two calls.
class TResetWhenDone {
 public:
  explicit TResetWhenDone(TStatement& statement) : statement_(statement) {}
  ~TResetWhenDone() { statement_.Reset(); }
  TResetWhenDone(const TResetWhenDone&) = delete;
  TResetWhenDone& operator=(const TResetWhenDone&) = delete;

 private:
  TStatement& statement_;
};

// BEGIN IMMEDIATE … COMMIT, rolled back unless Commit ran: one action, whole
// or not at all. Immediate, so a second writer waits at the start, never in
// the middle. Opened inside another, it is part of the outer one.
class TTransaction {
 public:
  explicit TTransaction(TDatabase& db);
  ~TTransaction();
  void Commit();

 private:
  TDatabase& db_;
  bool done_ = false;
};

// BEGIN (deferred): reads that see one state of the file however others
// write meanwhile. Nested, it is part of the outer transaction.
class TReadTransaction {
 public:
  explicit TReadTransaction(TDatabase& db);
  ~TReadTransaction();

 private:
  TDatabase& db_;
  bool outer_ = false;
};

}  // namespace zarvex::sites
