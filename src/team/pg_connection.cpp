#include "team/pg_connection.h"

#include <libpq-fe.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "team/socket_wait.h"

namespace zarvex::team {

namespace {

std::string Quoted(const std::string& value) {
  std::string out = "'";
  for (char c : value) {
    if (c == '\'' || c == '\\') out += '\\';
    out += c;
  }
  return out + "'";
}

std::string Trimmed(const char* text) {
  std::string s = text ? text : "";
  while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
  return s;
}

// "a%20b" as "a b"; URLs carry file names and users that way.
std::string Unescaped(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && std::isxdigit(static_cast<unsigned char>(text[i + 1])) && std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
      out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace

std::string ConnInfo(const TServerAddress& a, std::chrono::seconds deadline) {
  const long seconds = static_cast<long>(deadline.count());
  std::string info = "host=" + Quoted(a.host) + " port=" + Quoted(a.port) + " dbname=" + Quoted(a.database) +
                     " user=" + Quoted(a.user) + " sslmode=verify-full" + " connect_timeout=" +
                     std::to_string(seconds) + " keepalives=1 keepalives_idle=5 keepalives_interval=2" +
                     " keepalives_count=3 tcp_user_timeout=" + std::to_string(seconds * 1000) +
                     " application_name='Zarvex Settings'" +
                     " options=" + Quoted("-c statement_timeout=" + std::to_string(seconds * 1000) +
                                          " -c bytea_output=hex");  // as ByteaOf reads it, whatever the server's default
  if (!a.caFile.empty()) info += " sslrootcert=" + Quoted(a.caFile);
  if (!a.certFile.empty()) info += " sslcert=" + Quoted(a.certFile);
  if (!a.keyFile.empty()) info += " sslkey=" + Quoted(a.keyFile);
  return info;
}

std::string WithPassword(const std::string& conninfo, const std::string& password) {
  return conninfo + " password=" + Quoted(password);
}

TServerAddress ParseServerUrl(const std::string& url) {
  const std::string bad = "Адрес сервера компании должен быть вида postgresql://пользователь@сервер:порт/база: " + url;
  std::string rest;
  for (const char* scheme : {"postgresql://", "postgres://"}) {
    if (url.rfind(scheme, 0) == 0) rest = url.substr(std::strlen(scheme));
  }
  if (rest.empty()) throw TeamError(bad);
  TServerAddress a;
  std::string query;
  if (const size_t q = rest.find('?'); q != std::string::npos) {
    query = rest.substr(q + 1);
    rest.resize(q);
  }
  const size_t slash = rest.find('/');
  if (slash == std::string::npos) throw TeamError(bad);
  a.database = Unescaped(rest.substr(slash + 1));
  rest.resize(slash);
  if (const size_t at = rest.rfind('@'); at != std::string::npos) {
    std::string user = rest.substr(0, at);
    if (user.find(':') != std::string::npos) {
      throw TeamError("Пароль в адресе сервера не хранится: уберите его из адреса, программа спросит его сама");
    }
    a.user = Unescaped(user);
    rest = rest.substr(at + 1);
  }
  if (const size_t colon = rest.rfind(':'); colon != std::string::npos && rest.find(']') == std::string::npos) {
    a.port = rest.substr(colon + 1);
    rest.resize(colon);
  }
  a.host = rest;
  while (!query.empty()) {
    const size_t amp = query.find('&');
    const std::string pair = query.substr(0, amp);
    query = amp == std::string::npos ? "" : query.substr(amp + 1);
    const size_t eq = pair.find('=');
    const std::string key = pair.substr(0, eq), value = eq == std::string::npos ? "" : Unescaped(pair.substr(eq + 1));
    if (key == "sslrootcert") a.caFile = value;
    else if (key == "sslcert") a.certFile = value;
    else if (key == "sslkey") a.keyFile = value;
    else if (key == "sslmode" && value != "verify-full") {
      throw TeamError("С сервером компании программа работает только с проверкой его сертификата (verify-full)");
    }
  }
  if (a.host.empty() || a.database.empty() || a.user.empty() || a.port.empty()) throw TeamError(bad);
  return a;
}

TPgConnection::TPgConnection(const std::string& conninfo, const std::atomic<bool>* stop) : stop_(stop) {
  // Started without waiting, so that a stop is heard at once and the
  // connection's deadline is the program's own.
  conn_ = PQconnectStart(conninfo.c_str());
  if (!conn_) throw TeamUnreachable("Не удалось подключиться к серверу компании: нет памяти");
  // The server's notices are no business of the installer's terminal.
  PQsetNoticeProcessor(conn_, [](void*, const char*) {}, nullptr);
  int seconds = 15;
  if (PQconninfoOption* options = PQconninfo(conn_)) {
    for (PQconninfoOption* o = options; o->keyword; ++o) {
      if (std::strcmp(o->keyword, "connect_timeout") == 0 && o->val && std::atoi(o->val) > 0) seconds = std::atoi(o->val);
    }
    PQconninfoFree(options);
  }
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  PostgresPollingStatusType state = PQstatus(conn_) == CONNECTION_BAD ? PGRES_POLLING_FAILED : PGRES_POLLING_WRITING;
  while (state == PGRES_POLLING_READING || state == PGRES_POLLING_WRITING) {
    if (!Wait(state == PGRES_POLLING_WRITING, until)) {
      PQfinish(conn_);
      conn_ = nullptr;
      throw TeamUnreachable("Сервер компании недоступен: нет ответа за " + std::to_string(seconds) + " с");
    }
    state = PQconnectPoll(conn_);
  }
  if (state != PGRES_POLLING_OK || PQstatus(conn_) != CONNECTION_OK) {
    const std::string message = Trimmed(PQerrorMessage(conn_));
    PQfinish(conn_);
    conn_ = nullptr;
    // The server answered and said no (FATAL), its certificate is not the
    // company's, or no password is kept for it; anything else is the road.
    const bool refused = message.find("FATAL:") != std::string::npos ||
                         message.find("certificate verify failed") != std::string::npos ||
                         message.find("does not match host name") != std::string::npos ||
                         message.find("root certificate file") != std::string::npos ||
                         message.find("no password supplied") != std::string::npos;
    if (refused) throw TeamForbidden("Сервер компании не принял подключение: " + message);
    throw TeamUnreachable("Сервер компании недоступен: " + message);
  }
  // A stop while a large batch is being sent must not wait on the socket.
  PQsetnonblocking(conn_, 1);
  // The server ends a statement past its own timeout, as long as the
  // connection's: silence beyond that and a little more is a server gone quiet.
  silence_ = std::chrono::seconds(seconds + 5);
}

void TPgConnection::WaitOrGiveUp(bool forWrite) {
  if (Wait(forWrite, std::chrono::steady_clock::now() + silence_)) return;
  PQfinish(conn_);
  conn_ = nullptr;
  sent_.clear();
  throw TeamUnreachable("Сервер компании не отвечает: ни байта за " + std::to_string(silence_.count()) +
                        " с; обмен прерван, его можно повторить");
}

bool TPgConnection::Wait(bool forWrite, std::optional<std::chrono::steady_clock::time_point> until) {
  for (;;) {
    if (stop_ && stop_->load()) {
      // Whatever was sent may still commit there: the work is safe to repeat.
      PQfinish(conn_);
      conn_ = nullptr;
      throw TeamStopped("Обмен с сервером компании прерван");
    }
    int slice = 100;
    if (until) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*until - std::chrono::steady_clock::now());
      if (left.count() <= 0) return false;
      slice = static_cast<int>(std::min<long long>(slice, left.count()));
    }
    const int socket = PQsocket(conn_);
    if (socket < 0 || WaitSocket(socket, forWrite, slice)) return true;
  }
}

TPgConnection::~TPgConnection() {
  if (conn_) PQfinish(conn_);
}

TPgTransaction::~TPgTransaction() {
  if (done_) return;
  try {
    conn_.Exec("ROLLBACK");
  } catch (const TeamError&) {
    // Gone with the connection.
  }
}

void TPgConnection::Fail(const std::string& what, const char* sqlstate, const std::string& message) {
  const std::string state = sqlstate ? sqlstate : "";
  if (PQstatus(conn_) != CONNECTION_OK) throw TeamUnreachable("Связь с сервером компании потеряна (" + what + "): " + message);
  if (state == "42501") throw TeamForbidden("Сервер компании не позволил: " + message);
  if (state == "57014") throw TeamUnreachable("Сервер компании не ответил вовремя (" + what + ")");
  throw TeamError("Сервер компании: " + message);
}

std::vector<TRow> TPgConnection::Query(const std::string& sql, const std::vector<std::optional<std::string>>& params) {
  Send(sql, params);
  return Receive();
}

void TPgConnection::Send(const std::string& sql, const std::vector<std::optional<std::string>>& params) {
  std::vector<const char*> values;
  for (const auto& p : params) values.push_back(p ? p->c_str() : nullptr);
  SendParams(sql, values, {}, {});
}

void TPgConnection::SendBinary(const std::string& sql, const std::vector<std::string>& params) {
  std::vector<const char*> values;
  std::vector<int> lengths, formats;
  for (const std::string& p : params) {
    values.push_back(p.data());
    lengths.push_back(static_cast<int>(p.size()));
    formats.push_back(1);
  }
  SendParams(sql, values, lengths, formats);
}

void TPgConnection::SendParams(const std::string& sql, const std::vector<const char*>& values,
                               const std::vector<int>& lengths, const std::vector<int>& formats) {
  if (!conn_) throw TeamStopped("Обмен с сервером компании прерван");
  if (!sent_.empty()) throw TeamError("Сервер компании: прежний запрос ещё без ответа");
  const std::string what = sql.substr(0, 40);
  // Without parameters, a script of several statements is allowed.
  const int sent = values.empty() ? PQsendQuery(conn_, sql.c_str())
                                  : PQsendQueryParams(conn_, sql.c_str(), static_cast<int>(values.size()), nullptr,
                                                      values.data(), lengths.empty() ? nullptr : lengths.data(),
                                                      formats.empty() ? nullptr : formats.data(), 0);
  if (!sent) Fail(what, nullptr, Trimmed(PQerrorMessage(conn_)));
  for (int flushed; (flushed = PQflush(conn_)) != 0;) {
    if (flushed < 0) Fail(what, nullptr, Trimmed(PQerrorMessage(conn_)));
    WaitOrGiveUp(true);
    if (!PQconsumeInput(conn_)) Fail(what, nullptr, Trimmed(PQerrorMessage(conn_)));
  }
  sent_ = what;
}

std::vector<TRow> TPgConnection::Receive() {
  if (!conn_) throw TeamStopped("Обмен с сервером компании прерван");
  // Whatever happens below, the query is answered or the connection gone.
  const std::string what = std::move(sent_);
  sent_.clear();
  using TResult = std::unique_ptr<PGresult, decltype(&PQclear)>;
  TResult result(nullptr, &PQclear), failed(nullptr, &PQclear);
  for (;;) {
    while (PQisBusy(conn_)) {
      WaitOrGiveUp(false);
      if (!PQconsumeInput(conn_)) Fail(what, nullptr, Trimmed(PQerrorMessage(conn_)));
    }
    TResult next(PQgetResult(conn_), &PQclear);
    if (!next) break;
    const ExecStatusType status = PQresultStatus(next.get());
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
      if (!failed) failed = std::move(next);
    } else {
      result = std::move(next);
    }
  }
  if (failed || !result) {
    const PGresult* r = failed.get();
    const char* state = r ? PQresultErrorField(r, PG_DIAG_SQLSTATE) : nullptr;
    const char* primary = r ? PQresultErrorField(r, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
    Fail(what, state, primary ? primary : Trimmed(PQerrorMessage(conn_)));
  }
  std::vector<TRow> rows;
  const int n = PQntuples(result.get()), columns = PQnfields(result.get());
  rows.reserve(static_cast<size_t>(n));
  for (int r = 0; r < n; ++r) {
    TRow row;
    row.reserve(static_cast<size_t>(columns));
    for (int c = 0; c < columns; ++c) {
      if (PQgetisnull(result.get(), r, c)) row.emplace_back();
      else row.emplace_back(std::string(PQgetvalue(result.get(), r, c), static_cast<size_t>(PQgetlength(result.get(), r, c))));
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

std::string TPgConnection::EncryptPassword(const std::string& password, const std::string& user) {
  char* hashed = PQencryptPasswordConn(conn_, password.c_str(), user.c_str(), "scram-sha-256");
  if (!hashed) throw TeamError("Не удалось зашифровать пароль: " + Trimmed(PQerrorMessage(conn_)));
  std::string out = hashed;
  PQfreemem(hashed);
  return out;
}

std::string TPgConnection::QuoteIdentifier(const std::string& name) {
  char* quoted = PQescapeIdentifier(conn_, name.c_str(), name.size());
  if (!quoted) throw TeamError("Недопустимое имя: " + name);
  std::string out = quoted;
  PQfreemem(quoted);
  return out;
}

std::string TPgConnection::QuoteLiteral(const std::string& text) {
  char* quoted = PQescapeLiteral(conn_, text.c_str(), text.size());
  if (!quoted) throw TeamError("Недопустимый текст");
  std::string out = quoted;
  PQfreemem(quoted);
  return out;
}

std::string ByteaOf(const std::optional<std::string>& value) {
  if (!value) return {};
  const std::string& hex = *value;
  if (hex.size() < 2 || hex[0] != '\\' || hex[1] != 'x' || hex.size() % 2 != 0) {
    throw TeamError("Сервер компании прислал байты не в том виде (ждали шестнадцатеричный bytea)");
  }
  const auto digit = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    throw TeamError("Сервер компании прислал байты не в том виде (ждали шестнадцатеричный bytea)");
  };
  std::string out;
  out.reserve(hex.size() / 2 - 1);
  for (size_t i = 2; i < hex.size(); i += 2) out.push_back(static_cast<char>(digit(hex[i]) * 16 + digit(hex[i + 1])));
  return out;
}

}  // namespace zarvex::team
