#include "sites/sqlite_db.h"

#include <sqlite3.h>

#include <thread>

namespace zarvex::sites {

namespace {

// SQLite's URI form of a path: "file:" and the path with what URIs reserve escaped.
std::string FileUri(const std::string& path) {
  std::string uri = "file:";
  static const char* const hex = "0123456789ABCDEF";
  for (unsigned char c : path) {
    if (c == '%' || c == '?' || c == '#' || c < 0x21) {
      uri += '%';
      uri += hex[c >> 4];
      uri += hex[c & 15];
    } else {
      uri += static_cast<char>(c == '\\' ? '/' : c);
    }
  }
  // A Windows drive path "C:/…" takes the form "file:/C:/…".
  if (path.size() > 1 && path[1] == ':') uri.insert(5, "/");
  return uri;
}

}  // namespace

TDatabase::TDatabase(const std::string& path, Mode mode) : path_(path) {
  int flags = SQLITE_OPEN_FULLMUTEX;
  std::string name = path;
  switch (mode) {
    case Mode::OpenOrCreate: flags |= SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE; break;
    case Mode::OpenExisting: flags |= SQLITE_OPEN_READWRITE; break;
    case Mode::ReadOnly: flags |= SQLITE_OPEN_READONLY; break;
    case Mode::Immutable:
      flags |= SQLITE_OPEN_READONLY | SQLITE_OPEN_URI;
      name = FileUri(path) + "?immutable=1";
      break;
  }
  readOnly_ = mode == Mode::ReadOnly || mode == Mode::Immutable;
  // Paths are UTF-8 on every system; SQLite's Windows layer takes them so.
  if (sqlite3_open_v2(name.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
    const std::string why = db_ ? sqlite3_errmsg(db_) : "нет памяти";
    sqlite3_close(db_);
    db_ = nullptr;
    throw SitesError("Не удалось открыть базу объектов " + path + ": " + why);
  }
  sqlite3_extended_result_codes(db_, 1);
  sqlite3_busy_handler(db_, &TDatabase::BusyHandler, this);
  sqlite3_progress_handler(db_, 1000, &TDatabase::ProgressHandler, this);
}

TDatabase::~TDatabase() {
  cached_.clear();  // finalized before the connection closes
  sqlite3_close_v2(db_);
}

int TDatabase::BusyHandler(void* self, int count) {
  auto* db = static_cast<TDatabase*>(self);
  // Short sleeps first, so a brief write of another program costs little.
  const auto step = std::chrono::milliseconds(count < 10 ? 2 : 20);
  static thread_local std::chrono::steady_clock::time_point started;
  if (count == 0) started = std::chrono::steady_clock::now();
  if (db->stop_.Now() || std::chrono::steady_clock::now() - started >= db->busyWait_) return 0;
  std::this_thread::sleep_for(step);
  return 1;
}

int TDatabase::ProgressHandler(void* self) { return static_cast<TDatabase*>(self)->stop_.Now() ? 1 : 0; }

void TDatabase::CheckStop() const {
  if (stop_.Now()) throw SitesInterrupted("Работа с базой объектов прервана; начатое отменено (" + path_ + ")");
}

void TDatabase::SetBusyWait(std::chrono::milliseconds wait) { busyWait_ = wait; }

bool TDatabase::InTransaction() const { return sqlite3_get_autocommit(db_) == 0; }

void TDatabase::Fail(const std::string& what) const {
  const int code = sqlite3_extended_errcode(db_);
  if (code == SQLITE_INTERRUPT || stop_.Now()) {
    throw SitesInterrupted("Работа с базой объектов прервана; начатое отменено (" + path_ + ")");
  }
  if ((code & 0xFF) == SQLITE_BUSY) {
    throw SitesBusy("База объектов занята другой программой дольше, чем программа ждёт (" + path_ +
                     "); ничего не изменено, повторите позже");
  }
  if ((code & 0xFF) == SQLITE_READONLY) {
    throw SitesReadOnly("База объектов " + path_ + " открыта только для чтения (нет права записи); ничего не изменено");
  }
  if ((code & 0xFF) == SQLITE_CORRUPT || (code & 0xFF) == SQLITE_NOTADB) {
    throw SitesDamaged("База объектов " + path_ + " повреждена; ничего не изменено (" + sqlite3_errmsg(db_) + ")", {});
  }
  if ((code & 0xFF) == SQLITE_FULL) {
    throw SitesError(what + " (" + path_ + "): диск заполнен; ничего не изменено");
  }
  throw SitesError(what + " (" + path_ + "): " + sqlite3_errmsg(db_));
}

void TDatabase::Exec(const std::string& sql) {
  if (poisoned_) throw SitesError("Соединение с базой объектов " + path_ + " закрыто после сбоя отката");
  char* message = nullptr;
  if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
    sqlite3_free(message);
    Fail("Ошибка базы объектов");
  }
}

TStatement TDatabase::Prepare(const std::string& sql) {
  if (poisoned_) throw SitesError("Соединение с базой объектов " + path_ + " закрыто после сбоя отката");
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &stmt, nullptr) != SQLITE_OK) {
    Fail("Ошибка базы объектов");
  }
  return TStatement(*this, stmt);
}

TStatement& TDatabase::Cached(const std::string& sql) {
  auto found = cached_.find(sql);
  if (found == cached_.end()) found = cached_.emplace(sql, std::make_unique<TStatement>(Prepare(sql))).first;
  found->second->Reset();
  return *found->second;
}

std::string TDatabase::JournalMode(const std::string& mode) {
  TStatement s = Prepare("PRAGMA journal_mode = " + mode);
  return s.Step() ? s.Text(0) : std::string();
}

void TDatabase::Harden(int maxLength) {
  int ignored = 0;
  sqlite3_db_config(db_, SQLITE_DBCONFIG_DEFENSIVE, 1, &ignored);
  sqlite3_db_config(db_, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, &ignored);
  sqlite3_db_config(db_, SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, &ignored);
  sqlite3_db_config(db_, SQLITE_DBCONFIG_ENABLE_VIEW, 0, &ignored);
  sqlite3_limit(db_, SQLITE_LIMIT_LENGTH, maxLength);
  sqlite3_limit(db_, SQLITE_LIMIT_SQL_LENGTH, 100000);
  sqlite3_limit(db_, SQLITE_LIMIT_ATTACHED, 0);
  Exec("PRAGMA trusted_schema = 0");
}

std::string TDatabase::QuickCheck(bool cellSizeCheck) {
  if (cellSizeCheck) Exec("PRAGMA cell_size_check = ON");
  TStatement s = Prepare("PRAGMA quick_check(20)");
  std::string found;
  while (s.Step()) found += (found.empty() ? "" : "; ") + s.Text(0);
  return found;
}

int64_t TDatabase::LastInsertId() const { return sqlite3_last_insert_rowid(db_); }
int TDatabase::Changes() const { return sqlite3_changes(db_); }

TStatement::TStatement(TStatement&& other) noexcept : db_(other.db_), stmt_(other.stmt_) {
  other.stmt_ = nullptr;
}

TStatement::~TStatement() { sqlite3_finalize(stmt_); }

void TStatement::Check(int rc) {
  if (rc != SQLITE_OK) db_->Fail("Ошибка базы объектов");
}

TStatement& TStatement::Bind(int index, const std::string& text) {
  Check(sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT));
  return *this;
}
TStatement& TStatement::Bind(int index, int64_t value) {
  Check(sqlite3_bind_int64(stmt_, index, value));
  return *this;
}
TStatement& TStatement::BindNull(int index) {
  Check(sqlite3_bind_null(stmt_, index));
  return *this;
}
TStatement& TStatement::Bind(int index, const std::optional<int64_t>& value) {
  return value ? Bind(index, *value) : BindNull(index);
}

bool TStatement::Step() {
  const int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  db_->Fail("Ошибка базы объектов");
}

void TStatement::Run() {
  while (Step()) {
  }
  Reset();
}

void TStatement::Reset() {
  sqlite3_reset(stmt_);
  sqlite3_clear_bindings(stmt_);
}

std::string TStatement::Text(int column) const {
  const auto* text = sqlite3_column_text(stmt_, column);
  return text ? std::string(reinterpret_cast<const char*>(text), static_cast<size_t>(sqlite3_column_bytes(stmt_, column)))
              : std::string();
}
int64_t TStatement::Int(int column) const { return sqlite3_column_int64(stmt_, column); }
bool TStatement::IsNull(int column) const { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }
bool TStatement::IsText(int column) const {
  const int type = sqlite3_column_type(stmt_, column);
  return type == SQLITE_TEXT || type == SQLITE_BLOB;
}
bool TStatement::IsInteger(int column) const { return sqlite3_column_type(stmt_, column) == SQLITE_INTEGER; }

TTransaction::TTransaction(TDatabase& db) : db_(db) {
  // Inside a transaction already: part of that one, which commits or rolls back for all.
  if (sqlite3_get_autocommit(db_.Handle()) == 0) {
    done_ = true;
    return;
  }
  if (db_.ReadOnly()) {
    throw SitesReadOnly("База объектов " + db_.Path() + " открыта только для чтения; ничего не изменено");
  }
  db_.Exec("BEGIN IMMEDIATE");
}

TTransaction::~TTransaction() {
  if (done_) return;
  // A rollback interrupted by the same stop that ended the work would leave
  // the transaction open; the stop is lifted for it.
  const TStopWhen stop = db_.Stop();
  db_.SetStop({});
  if (sqlite3_exec(db_.Handle(), "ROLLBACK", nullptr, nullptr, nullptr) != SQLITE_OK &&
      sqlite3_get_autocommit(db_.Handle()) == 0) {
    db_.Poison();
  }
  db_.SetStop(stop);
}

void TTransaction::Commit() {
  if (done_) return;
  db_.Exec("COMMIT");
  done_ = true;
}

TReadTransaction::TReadTransaction(TDatabase& db) : db_(db) {
  outer_ = sqlite3_get_autocommit(db_.Handle()) == 0;
  if (!outer_) db_.Exec("BEGIN");
}

TReadTransaction::~TReadTransaction() {
  if (!outer_) sqlite3_exec(db_.Handle(), "COMMIT", nullptr, nullptr, nullptr);
}

}  // namespace zarvex::sites
