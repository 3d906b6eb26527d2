#include "cli/team_command.h"


#include <fstream>
#include <map>
#include <memory>
#include <sstream>

#include "cli/cli_output.h"
#include "cli/panel_session.h"
#include "settings/file_system.h"
#include "sites/database_path.h"
#include "sites/site_store.h"
#include "sites/utc_time.h"
#include "team/pgpass.h"
#include "team/team_admin.h"
#include "team/team_join.h"
#include "team/team_sync.h"

namespace zarvex::cli {

namespace {

using team::TeamError;
using team::TPgConnection;
using team::TServerAddress;

class TeamCommand {
 public:
  TeamCommand(const std::vector<std::string>& words, bool json, const CliEnvironment& env, std::istream& in)
      : json_(json), env_(env), in_(in) {
    for (size_t i = 0; i < words.size(); ++i) {
      const std::string& w = words[i];
      if (w == "--codes" || w == "--no-codes" || w == "--password-stdin") {
        flags_.push_back(w);
      } else if (w.rfind("--", 0) == 0) {
        const size_t eq = w.find('=');
        if (eq != std::string::npos) options_[w.substr(0, eq)] = w.substr(eq + 1);
        else if (i + 1 < words.size()) options_[w] = words[++i];
        else options_[w] = "";
      } else {
        args_.push_back(w);
      }
    }
  }

  int Run() {
    if (args_.empty()) {
      return Usage("нужна команда: join, sync, status, log, init, add-technician, update-technician, "
                   "remove-technician, move-site, laptops или branches");
    }
    const std::string& sub = args_[0];
    try {
      if (sub == "join" && args_.size() == 2) return Join(args_[1]);
      if (sub == "sync" && args_.size() == 1) return SyncNow();
      if (sub == "status" && args_.size() == 1) return Status();
      if (sub == "log" && args_.size() == 2) return Log(args_[1]);
      if (sub == "init" && args_.size() == 2) return Init(args_[1]);
      if (sub == "add-technician" && args_.size() == 2) return AddTechnician(args_[1]);
      if (sub == "update-technician" && args_.size() == 2) return UpdateTechnician(args_[1]);
      if (sub == "remove-technician" && args_.size() == 2) return RemoveTechnician(args_[1]);
      if (sub == "branches" && args_.size() == 1) return BranchList();
      if (sub == "move-site" && args_.size() == 2) return MoveSite(args_[1]);
      if (sub == "laptops" && args_.size() == 1) return LaptopList();
    } catch (const team::TeamUnreachable& e) {
      // Cut halfway, what the server confirmed is kept here; the rest goes next time.
      env_.err << e.what() << (syncing_ ? "\nПодтверждённое сервером сохранено; остальное уйдёт при следующей синхронизации.\n"
                                        : "\nНичего не изменено; повторите, когда сервер будет доступен.\n");
      return kNoAnswer;
    } catch (const team::TeamForbidden& e) {
      env_.err << e.what() << "\n";
      return kNoAccess;
    } catch (const team::TeamStopped& e) {
      env_.err << e.what() << (syncing_ ? "; подтверждённое сервером сохранено\n" : "\n");
      return kInterrupted;
    } catch (const TeamError& e) {
      env_.err << e.what() << "\n";
      return kPanelError;
    } catch (const sites::SitesInterrupted& e) {
      env_.err << e.what() << "\n";
      return kInterrupted;
    } catch (const sites::SitesError& e) {
      env_.err << e.what() << "\n";
      return kFileError;
    }
    return Usage("неизвестная команда team или не те аргументы: " + sub);
  }

 private:
  int Usage(const std::string& why) {
    env_.err << "zarvex-cli: " << why << "\n";
    return kUsage;
  }
  bool Flag(const char* name) const {
    for (const std::string& f : flags_) {
      if (f == name) return true;
    }
    return false;
  }
  std::string Option(const char* name) const {
    const auto it = options_.find(name);
    return it == options_.end() ? std::string() : it->second;
  }
  std::string Password() {
    std::string line;
    std::getline(in_, line);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
  }
  std::unique_ptr<sites::TSiteStore> Store(bool readOnly) {
    sites::TStoreOptions options;
    options.stop.flag = env_.interrupted;
    options.readOnly = readOnly;
    return std::make_unique<sites::TSiteStore>(
        env_.sitesDatabase.empty() ? sites::DefaultDatabasePath() : env_.sitesDatabase, options);
  }
  TServerAddress Joined(sites::TSiteStore& store) {
    TServerAddress a = team::ServerAddress(store);
    if (a.host.empty()) throw TeamError("Этот компьютер не подключён к серверу компании: zarvex-cli team join АДРЕС");
    return a;
  }
  // The administrator's connection: --admin URL, else the joined one.
  std::unique_ptr<TPgConnection> Admin() {
    TServerAddress a;
    if (const std::string url = Option("--admin"); !url.empty()) {
      a = team::ParseServerUrl(url);
    } else {
      auto store = Store(true);
      a = Joined(*store);
    }
    return std::make_unique<TPgConnection>(team::ConnInfo(a), env_.interrupted);
  }

  int Join(const std::string& url) {
    TServerAddress a = team::ParseServerUrl(url);
    if (const std::string ca = Option("--ca"); !ca.empty()) a.caFile = ca;
    if (a.caFile.empty() && a.certFile.empty()) {
      env_.err << "Без сертификата компании (--ca ФАЙЛ) сервер проверяется по ~/.postgresql/root.crt\n";
    }
    std::string password;
    if (Flag("--password-stdin")) password = Password();
    auto store = Store(false);
    const team::TTechnicianLogin me =
        team::JoinServer(*store, a, Flag("--password-stdin") ? &password : nullptr, env_.interrupted);
    env_.err << "Подключено к серверу компании " << a.host << ": " << me.login << ", филиал «" << me.branch
             << "», роль " << me.role << (me.seesCodes ? "" : "; коды клавиатуры этой роли не видны") << "\n";
    return kOk;
  }

  int SyncNow() {
    auto store = Store(false);
    const TServerAddress a = Joined(*store);
    TPgConnection server(team::ConnInfo(a), env_.interrupted);
    syncing_ = true;
    const team::TSyncReport r = team::Sync(*store, server);
    if (json_) {
      env_.out << "{\"sent\": {\"sites\": " << r.sitesSent << ", \"changes\": " << r.changesSent
               << ", \"snapshots\": " << r.snapshotsSent << "}, \"taken\": {\"sites\": " << r.sitesTaken
               << ", \"changes\": " << r.changesTaken << ", \"snapshots\": " << r.snapshotsTaken << "}}\n";
    } else {
      env_.out << "Отправлено: объектов " << r.sitesSent << ", изменений " << r.changesSent << ", снимков "
               << r.snapshotsSent << "; получено: объектов " << r.sitesTaken << ", изменений " << r.changesTaken
               << ", снимков " << r.snapshotsTaken << "\n";
    }
    TellRefused(team::SyncStatus(*store));
    return kOk;
  }

  // What the server did not take waits here; each row with its reason.
  void TellRefused(const team::TSyncStatus& s) {
    if (s.refused.empty()) return;
    env_.err << "Не принято сервером (ждёт здесь): " << s.refused.size() << "\n";
    for (const auto& [item, reason] : s.refused) env_.err << "  " << Printable(item) << ": " << Printable(reason) << "\n";
  }

  int Status() {
    auto store = Store(true);
    const TServerAddress a = team::ServerAddress(*store);
    const team::TSyncStatus s = team::SyncStatus(*store);
    std::string reachable = "не подключено";
    bool ok = false;
    if (!a.host.empty()) {
      try {
        TPgConnection server(team::ConnInfo(a, std::chrono::seconds(5)), env_.interrupted);
        server.Query("SELECT 1 FROM zarvex.whoami()");
        reachable = "доступен";
        ok = true;
      } catch (const TeamError& e) {
        reachable = std::string("недоступен: ") + e.what();
      }
    }
    if (json_) {
      env_.out << "{\"server\": " << JsonString(a.host.empty() ? "" : a.host + ":" + a.port + "/" + a.database)
               << ", \"reachable\": " << (ok ? "true" : "false") << ", \"last_sync\": " << JsonString(s.lastSync)
               << ", \"changes_waiting\": " << s.changesWaiting << ", \"snapshots_waiting\": " << s.snapshotsWaiting
               << ", \"last_problem\": " << JsonString(s.lastProblem) << ", \"refused\": [";
      for (size_t i = 0; i < s.refused.size(); ++i) {
        env_.out << (i ? ", " : "") << "{\"item\": " << JsonString(s.refused[i].first)
                 << ", \"reason\": " << JsonString(s.refused[i].second) << "}";
      }
      env_.out << "]}\n";
    } else {
      env_.out << "Сервер: " << (a.host.empty() ? "—" : a.host + ":" + a.port + "/" + a.database + " (" + a.user + ")")
               << ", " << reachable << "\nПоследняя синхронизация: " << (s.lastSync.empty() ? "не было" : s.lastSync)
               << "\nЖдут отправки: изменений " << s.changesWaiting << ", снимков " << s.snapshotsWaiting << "\n";
      if (!s.lastProblem.empty()) env_.out << "Последняя ошибка: " << s.lastProblem << "\n";
      TellRefused(s);
    }
    return kOk;
  }

  int Log(const std::string& name) {
    auto store = Store(true);
    const std::optional<sites::TSite> site = store->SiteByName(name);
    if (!site) {
      env_.err << "Объект не найден: " << name << "\n";
      return kNoPanel;
    }
    TPgConnection server(team::ConnInfo(Joined(*store)), env_.interrupted);
    const std::vector<team::TSiteLogEntry> log = team::SiteLog(server, site->uid);
    if (json_) {
      env_.out << "[";
      for (size_t i = 0; i < log.size(); ++i) {
        const team::TSiteLogEntry& e = log[i];
        env_.out << (i ? ",\n " : "") << "{\"received\": " << JsonString(e.received)
                 << ", \"pushed_by\": " << JsonString(e.pushedBy) << ", \"technician_claimed\": "
                 << JsonString(e.technician) << ", \"laptop_claimed\": " << JsonString(e.laptop)
                 << ", \"made_claimed\": " << JsonString(e.made) << ", \"field\": " << JsonString(e.field)
                 << ", \"value\": " << JsonString(e.value) << "}";
      }
      env_.out << "]\n";
      return kOk;
    }
    // Every value is a laptop's claim: none may print a line of its own.
    for (const team::TSiteLogEntry& e : log) {
      env_.out << Printable(e.received) << "\t" << Printable(e.pushedBy) << "\t(ноутбук: " << Printable(e.technician)
               << "@" << Printable(e.laptop) << ")\t" << Printable(e.field) << "\t" << Printable(e.value) << "\n";
    }
    return kOk;
  }

  int Init(const std::string& url) {
    TPgConnection admin(team::ConnInfo(team::ParseServerUrl(url)), env_.interrupted);
    const int before = team::InitTeamSchema(admin);
    if (before == team::kTeamSchemaVersion) {
      env_.err << "Схема базы компании уже версии " << before << "; ничего не изменено\n";
    } else {
      env_.err << "Схема базы компании " << (before == 0 ? "создана" : "обновлена") << " (версия "
               << team::kTeamSchemaVersion << ")\n";
    }
    return kOk;
  }

  int AddTechnician(const std::string& login) {
    const std::string branch = Option("--branch");
    const std::string role = Option("--role").empty() ? "technician" : Option("--role");
    if (branch.empty()) return Usage("нужен филиал: --branch ФИЛИАЛ");
    if (!Flag("--password-stdin")) return Usage("пароль техника читается из стандартного ввода: --password-stdin");
    const std::string password = Password();
    auto admin = Admin();
    team::AddTechnician(*admin, login, branch, team::RoleByName(role), password, Flag("--codes"));
    env_.err << "Техник " << login << " добавлен: филиал «" << branch << "», роль " << role << "\n";
    return kOk;
  }

  int UpdateTechnician(const std::string& login) {
    team::TTechnicianUpdate update;
    if (options_.count("--role")) update.role = team::RoleByName(Option("--role"));
    if (options_.count("--branch")) update.branch = Option("--branch");
    if (Flag("--codes")) update.seesCodes = true;
    if (Flag("--no-codes")) update.seesCodes = false;
    if (Flag("--password-stdin")) update.password = Password();
    if (!update.role && !update.branch && !update.seesCodes && !update.password) {
      return Usage("что изменить: --role, --branch, --codes или --no-codes, --password-stdin");
    }
    auto admin = Admin();
    team::UpdateTechnician(*admin, login, update);
    env_.err << "Техник " << login << " изменён\n";
    return kOk;
  }

  int RemoveTechnician(const std::string& login) {
    auto admin = Admin();
    team::RemoveTechnician(*admin, login);
    env_.err << "Техник " << login
             << " больше не может подключаться, его сеансы завершены; его изменения остаются в журнале\n";
    return kOk;
  }

  // A site named as the laptop knows it, or by its id.
  int MoveSite(const std::string& name) {
    const std::string branch = Option("--branch");
    if (branch.empty()) return Usage("куда перенести: --branch ФИЛИАЛ");
    std::string uid = name, shown = name;
    try {
      auto store = Store(true);
      if (const std::optional<sites::TSite> site = store->SiteByName(name)) {
        uid = site->uid;
        shown = site->name;
      }
    } catch (const sites::SitesError&) {
      // No site database here (an administrator's own machine): the id it is.
    }
    auto caller = Admin();
    const std::string was = team::MoveSite(*caller, uid, branch);
    if (was == branch) env_.err << "Объект «" << shown << "» уже в филиале «" << branch << "»\n";
    else env_.err << "Объект «" << shown << "» перенесён из филиала «" << was << "» в филиал «" << branch << "»\n";
    return kOk;
  }

  // Every laptop's last sync, oldest first; --days N: only those not synced
  // for N days or more.
  int LaptopList() {
    int days = 0;
    if (options_.count("--days")) {
      try {
        days = std::stoi(Option("--days"));
      } catch (const std::exception&) {
        days = -1;
      }
      if (days < 0) return Usage("--days ждёт число дней");
    }
    auto admin = Admin();
    std::vector<team::TLaptopSync> list;
    for (const team::TLaptopSync& l : team::Laptops(*admin)) {
      if (l.daysSince >= days) list.push_back(l);
    }
    if (json_) {
      env_.out << "[";
      for (size_t i = 0; i < list.size(); ++i) {
        const team::TLaptopSync& l = list[i];
        env_.out << (i ? ",\n " : "") << "{\"login\": " << JsonString(l.login) << ", \"branch\": " << JsonString(l.branch)
                 << ", \"laptop_claimed\": " << JsonString(l.laptop) << ", \"last_sync\": " << JsonString(l.synced)
                 << ", \"days_since\": " << l.daysSince << ", \"sent\": " << l.sent << ", \"taken\": " << l.taken
                 << ", \"waiting_claimed\": " << l.waiting << ", \"refused\": " << l.refused
                 << ", \"active\": " << (l.active ? "true" : "false") << "}";
      }
      env_.out << "]\n";
      return kOk;
    }
    for (const team::TLaptopSync& l : list) {
      env_.out << Printable(l.login) << "\t" << Printable(l.branch) << "\t" << Printable(l.laptop) << "\t"
               << sites::LocalText(l.synced) << " (дней назад: " << l.daysSince << ")\tждёт: " << l.waiting
               << ", не принято: " << l.refused << (l.active ? "" : "\tотключён") << "\n";
    }
    if (list.empty()) env_.err << (days > 0 ? "Все ноутбуки синхронизировались за эти дни\n" : "Синхронизаций ещё не было\n");
    return kOk;
  }

  int BranchList() {
    auto admin = Admin();
    for (const std::string& b : team::Branches(*admin)) env_.out << b << "\n";
    return kOk;
  }

  bool json_;
  bool syncing_ = false;  // connected and exchanging: a failure may come halfway
  const CliEnvironment& env_;
  std::istream& in_;
  std::vector<std::string> args_, flags_;
  std::map<std::string, std::string> options_;
};

}  // namespace

int RunTeamCommand(const std::vector<std::string>& words, bool json, const CliEnvironment& env, std::istream& in) {
  return TeamCommand(words, json, env, in).Run();
}

}  // namespace zarvex::cli
