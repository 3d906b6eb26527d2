#include "sites/sqlite_db.h"

#include <sqlite3.h>

namespace zarvex::sites {

namespace {
// The window and the CLI may write at the same time; one waits for the other.
constexpr int kBusyWaitMs = 10000;
}  // namespace

TDatabase::TDatabase(const std::string& path, Mode mode) : path_(path) {
  int flags = SQLITE_OPEN_FULLMUTEX;
  switch (mode) {
    case Mode::OpenOrCreate: flags |= SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE; break;
    case Mode::OpenExisting: flags |= SQLITE_OPEN_READWRITE; break;
    case Mode::ReadOnly: flags |= SQLITE_OPEN_READONLY; break;
  }
  // Paths are UTF-8 on every system; SQLite's Windows layer takes them so.
  if (sqlite3_open_v2(path.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
    const std::string why = db_ ? sqlite3_errmsg(db_) : "нет памяти";
    sqlite3_close(db_);
    db_ = nullptr;
    throw SitesError("Не удалось открыть базу объектов " + path + ": " + why);
  }
  sqlite3_busy_timeout(db_, kBusyWaitMs);
  sqlite3_extended_result_codes(db_, 1);
}

TDatabase::~TDatabase() { sqlite3_close_v2(db_); }

void TDatabase::Fail(const std::string& what) const {
  throw SitesError(what + " (" + path_ + "): " + sqlite3_errmsg(db_));
}

void TDatabase::Exec(const std::string& sql) {
  char* message = nullptr;
  if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
    const std::string why = message ? message : sqlite3_errmsg(db_);
    sqlite3_free(message);
    throw SitesError("Ошибка базы объектов (" + path_ + "): " + why);
  }
}

TStatement TDatabase::Prepare(const std::string& sql) {
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &stmt, nullptr) != SQLITE_OK) {
    Fail("Ошибка базы объектов");
  }
  return TStatement(*this, stmt);
}

int64_t TDatabase::LastInsertId() const { return sqlite3_last_insert_rowid(db_); }
int TDatabase::Changes() const { return sqlite3_changes(db_); }

TStatement::TStatement(TStatement&& other) noexcept : db_(other.db_), stmt_(other.stmt_) {
  other.stmt_ = nullptr;
}

TStatement::~TStatement() { sqlite3_finalize(stmt_); }

TStatement& TStatement::Bind(int index, const std::string& text) {
  sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
  return *this;
}
TStatement& TStatement::Bind(int index, int64_t value) {
  sqlite3_bind_int64(stmt_, index, value);
  return *this;
}
TStatement& TStatement::BindNull(int index) {
  sqlite3_bind_null(stmt_, index);
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

TTransaction::TTransaction(TDatabase& db) : db_(db) {
  // Inside a transaction already: part of that one, which commits or rolls back for all.
  if (sqlite3_get_autocommit(db_.Handle()) == 0) {
    done_ = true;
    return;
  }
  db_.Exec("BEGIN IMMEDIATE");
}

TTransaction::~TTransaction() {
  if (!done_) sqlite3_exec(db_.Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
}

void TTransaction::Commit() {
  if (done_) return;
  db_.Exec("COMMIT");
  done_ = true;
}

}  // namespace zarvex::sites
