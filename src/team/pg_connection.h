#pragma once

#include <atomic>
#include <chrono>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

typedef struct pg_conn PGconn;

namespace zarvex::team {

// A failure with the company's server, worded for the installer (UTF-8).
// Whatever was sent may or may not have been committed: the work is safe
// to repeat.
class TeamError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The server could not be reached, or fell silent past the deadline.
class TeamUnreachable : public TeamError {
 public:
  using TeamError::TeamError;
};

// The server refused what this login may not do.
class TeamForbidden : public TeamError {
 public:
  using TeamError::TeamError;
};

// The work was asked to stop (Ctrl+C, the window closing) and was left
// where it stood.
class TeamStopped : public TeamError {
 public:
  using TeamError::TeamError;
};

// Rows as text; a NULL is an empty optional.
using TRow = std::vector<std::optional<std::string>>;

// One connection through libpq. Every wait has a deadline of its own: the
// connection, each statement (on the server), and the socket (keepalives and
// TCP_USER_TIMEOUT), so a silent server is told, never waited on for good.
class TPgConnection {
 public:
  // `conninfo` as libpq takes it (ConnInfo: TLS verified, the deadlines set).
  // Once `stop` is set, the wait in hand ends within a tenth of a second
  // with TeamStopped, and the connection is closed.
  explicit TPgConnection(const std::string& conninfo, const std::atomic<bool>* stop = nullptr);
  ~TPgConnection();
  TPgConnection(const TPgConnection&) = delete;
  TPgConnection& operator=(const TPgConnection&) = delete;

  std::vector<TRow> Query(const std::string& sql, const std::vector<std::optional<std::string>>& params = {});
  // Query in two halves, so that the laptop's own work overlaps the
  // server's: one query at a time may be on its way.
  void Send(const std::string& sql, const std::vector<std::optional<std::string>>& params = {});
  // Send with every parameter in PostgreSQL's binary form (TPgArray).
  void SendBinary(const std::string& sql, const std::vector<std::string>& params);
  std::vector<TRow> Receive();
  bool Sent() const { return !sent_.empty(); }
  void Exec(const std::string& sql) { Query(sql); }
  // The password as the server stores it (SCRAM-SHA-256), made here so the
  // plain one never travels.
  std::string EncryptPassword(const std::string& password, const std::string& user);
  std::string QuoteIdentifier(const std::string& name);
  std::string QuoteLiteral(const std::string& text);

 private:
  // Until the socket is ready; false when `until` passed first.
  bool Wait(bool forWrite, std::optional<std::chrono::steady_clock::time_point> until);
  // Until the socket is ready, or TeamUnreachable (the connection closed)
  // after `silence_` without a byte either way.
  void WaitOrGiveUp(bool forWrite);
  void SendParams(const std::string& sql, const std::vector<const char*>& values, const std::vector<int>& lengths,
                  const std::vector<int>& formats);
  [[noreturn]] void Fail(const std::string& what, const char* sqlstate, const std::string& message);
  PGconn* conn_ = nullptr;
  const std::atomic<bool>* stop_;
  std::string sent_;  // the query on its way, as errors name it
  std::chrono::seconds silence_{20};
};

// BEGIN … COMMIT; rolled back when left without Commit (the server rolls
// back on its own when the connection is gone).
class TPgTransaction {
 public:
  explicit TPgTransaction(TPgConnection& conn) : conn_(conn) { conn_.Exec("BEGIN"); }
  ~TPgTransaction();
  void Commit() {
    conn_.Exec("COMMIT");
    done_ = true;
  }

 private:
  TPgConnection& conn_;
  bool done_ = false;
};

// A bytea column as the server writes it in text ("\\x" and hex digits);
// TeamError for anything else. An empty optional (NULL) is no bytes.
std::string ByteaOf(const std::optional<std::string>& value);

// The connection string of `options` with TLS verified against `caFile`
// and the deadlines set; values quoted as libpq wants.
struct TServerAddress {
  std::string host, port = "5432", database, user, caFile;
  std::string certFile, keyFile;  // a client certificate instead of a password
};
std::string ConnInfo(const TServerAddress& address, std::chrono::seconds deadline = std::chrono::seconds(15));
// The same with a password given here rather than looked up in pgpass.
std::string WithPassword(const std::string& conninfo, const std::string& password);
// "postgresql://user@host:port/database?sslrootcert=FILE" into its parts;
// TeamError when it is not such a URL.
TServerAddress ParseServerUrl(const std::string& url);

}  // namespace zarvex::team
