#include "team/pg_connection.h"

#include <libpq-fe.h>

#include <cctype>
#include <cstring>
#include <memory>

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
                     " options=" + Quoted("-c statement_timeout=" + std::to_string(seconds * 1000));
  if (!a.caFile.empty()) info += " sslrootcert=" + Quoted(a.caFile);
  if (!a.certFile.empty()) info += " sslcert=" + Quoted(a.certFile);
  if (!a.keyFile.empty()) info += " sslkey=" + Quoted(a.keyFile);
  return info;
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

TPgConnection::TPgConnection(const std::string& conninfo) {
  conn_ = PQconnectdb(conninfo.c_str());
  // The server's notices are no business of the installer's terminal.
  if (conn_) PQsetNoticeProcessor(conn_, [](void*, const char*) {}, nullptr);
  if (!conn_) throw TeamUnreachable("Не удалось подключиться к серверу компании: нет памяти");
  if (PQstatus(conn_) != CONNECTION_OK) {
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
  std::vector<const char*> values;
  for (const auto& p : params) values.push_back(p ? p->c_str() : nullptr);
  // Without parameters, a script of several statements is allowed.
  std::unique_ptr<PGresult, decltype(&PQclear)> result(
      params.empty() ? PQexec(conn_, sql.c_str())
                     : PQexecParams(conn_, sql.c_str(), static_cast<int>(values.size()), nullptr, values.data(),
                                    nullptr, nullptr, 0),
      &PQclear);
  const ExecStatusType status = result ? PQresultStatus(result.get()) : PGRES_FATAL_ERROR;
  if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
    const char* state = result ? PQresultErrorField(result.get(), PG_DIAG_SQLSTATE) : nullptr;
    const char* primary = result ? PQresultErrorField(result.get(), PG_DIAG_MESSAGE_PRIMARY) : nullptr;
    Fail(sql.substr(0, 40), state, primary ? primary : Trimmed(PQerrorMessage(conn_)));
  }
  std::vector<TRow> rows;
  const int n = PQntuples(result.get()), columns = PQnfields(result.get());
  rows.reserve(static_cast<size_t>(n));
  for (int r = 0; r < n; ++r) {
    TRow row;
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

}  // namespace zarvex::team
