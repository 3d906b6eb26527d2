#pragma once

#include <cstdint>
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

class TStatement;

// One connection to an SQLite file: WAL journal, a busy wait instead of
// "database is locked", foreign keys on. Throws SitesError.
class TDatabase {
 public:
  enum class Mode { OpenOrCreate, OpenExisting, ReadOnly };
  TDatabase(const std::string& path, Mode mode);
  ~TDatabase();
  TDatabase(const TDatabase&) = delete;
  TDatabase& operator=(const TDatabase&) = delete;

  void Exec(const std::string& sql);
  TStatement Prepare(const std::string& sql);
  int64_t LastInsertId() const;
  int Changes() const;
  sqlite3* Handle() { return db_; }
  const std::string& Path() const { return path_; }
  // Throws SitesError with `what` and SQLite's own words.
  [[noreturn]] void Fail(const std::string& what) const;

 private:
  sqlite3* db_ = nullptr;
  std::string path_;
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

 private:
  TDatabase* db_;
  sqlite3_stmt* stmt_;
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

}  // namespace zarvex::sites
