#include "cli/sites_command.h"

#include <filesystem>
#include <memory>
#include <ostream>

#include "cli/cli_output.h"
#include "cli/panel_session.h"
#include "settings/settings_format.h"
#include "sites/database_path.h"
#include "sites/field_changes.h"
#include "sites/rolling_backups.h"
#include "sites/site_handover.h"
#include "sites/site_store.h"
#include "sites/utc_time.h"
#include "sites/utf8_path.h"

namespace zarvex::cli {

namespace {

namespace fs = std::filesystem;
using sites::TSite;
using sites::TSiteStore;

std::string DatabasePath(const CliEnvironment& env) {
  return env.sitesDatabase.empty() ? sites::DefaultDatabasePath() : env.sitesDatabase;
}

std::unique_ptr<TSiteStore> OpenStore(const CliEnvironment& env, bool readOnly) {
  sites::TStoreOptions options;
  options.stop.flag = env.interrupted;
  options.readOnly = readOnly;
  auto store = std::make_unique<TSiteStore>(DatabasePath(env), options);
  if (!store->Warning().empty()) env.err << store->Warning() << "\n";
  return store;
}

std::string SiteJson(const TSite& s) {
  return "{\"name\": " + JsonString(s.name) + ", \"customer\": " + JsonString(s.customer) +
         ", \"address\": " + JsonString(s.address) + ", \"phones\": " + JsonString(s.phones) +
         ", \"notes\": " + JsonString(s.notes) + ", \"created\": " + JsonString(s.created) +
         ", \"changed\": " + JsonString(s.changed) + ", \"technician\": " + JsonString(s.technician) +
         ", \"uid\": " + JsonString(s.uid) + ", \"short_id\": " + JsonString("#" + s.ShortId()) + "}";
}

void PrintSites(const std::vector<TSite>& list, bool json, std::ostream& out) {
  if (json) {
    out << "[";
    for (size_t i = 0; i < list.size(); ++i) out << (i ? ",\n  " : "\n  ") << SiteJson(list[i]);
    out << "\n]\n";
    return;
  }
  for (const TSite& s : list) {
    out << s.name << "\t" << s.customer << "\t" << s.address << "\t" << s.phones << "\t#" << s.ShortId() << "\n";
  }
}

bool ReadOnlyCommand(const std::string& sub) {
  return sub == "list" || sub == "find" || sub == "show" || sub == "export";
}

class SitesCommand {
 public:
  SitesCommand(const std::vector<std::string>& words, const std::string& output, bool json,
               const CliEnvironment& env)
      : words_(words), output_(output), json_(json), env_(env) {}

  int Run() {
    const int code = RunCommand();
    if (store_ && !store_->BackupProblem().empty()) env_.err << "Внимание: " << store_->BackupProblem() << "\n";
    return code;
  }

 private:
  int RunCommand() {
    if (words_.empty()) {
      return Usage("нужна команда: list, show, find, add, set, export, import, backup, resolve или restore");
    }
    const std::string& sub = words_[0];
    try {
      if (sub == "restore" && words_.size() <= 2) return Restore();
      if (sub == "import" && words_.size() == 2) return ImportInto(words_[1]);
      store_ = OpenStore(env_, ReadOnlyCommand(sub));
      if (sub == "list" && words_.size() == 1) return List(store_->Sites());
      if (sub == "find" && words_.size() == 2) return List(store_->Find(words_[1], -1));
      if (sub == "show" && words_.size() == 2) return Show(words_[1]);
      if (sub == "export" && words_.size() == 2) return Export(words_[1]);
      if (sub == "backup" && words_.size() == 1) return Backup();
      if (sub == "resolve" && words_.size() == 4) return Resolve(words_[1], words_[2], words_[3]);
      if (sub == "set" && words_.size() == 4) return Set(words_[1], words_[2], words_[3]);
      if (sub == "add" && words_.size() >= 2 && words_.size() % 2 == 0) return Add();
    } catch (const sites::SitesInterrupted& e) {
      env_.err << e.what() << "\n";
      return kInterrupted;
    } catch (const sites::SitesAmbiguous& e) {
      env_.err << e.what() << "\n";
      return kUsage;
    } catch (const sites::SitesError& e) {
      env_.err << e.what() << "\n";
      return kFileError;
    }
    return Usage("неизвестная команда объектов или не те аргументы: " + sub);
  }

  int Usage(const std::string& why) {
    env_.err << "zarvex-cli: " << why << "\n";
    return kUsage;
  }

  std::optional<TSite> Named(const std::string& name) {
    std::optional<TSite> site = store_->SiteByName(name);
    if (!site) env_.err << "Объект не найден: " << name << "\n";
    return site;
  }

  int List(const std::vector<TSite>& list) {
    PrintSites(list, json_, env_.out);
    return kOk;
  }

  int Show(const std::string& name) {
    const auto site = Named(name);
    if (!site) return kNoPanel;
    std::vector<sites::TSitePanel> panels;
    std::vector<sites::TSnapshotRecord> snapshots;
    std::vector<sites::TSiteConflict> conflicts;
    {
      sites::TReadTransaction read(store_->Database());
      panels = store_->Panels(site->id);
      snapshots = store_->Snapshots(site->id, -1);
      conflicts = store_->Conflicts(site->id);
    }
    std::ostream& out = env_.out;
    if (json_) {
      out << "{\"site\": " << SiteJson(*site) << ",\n \"panels\": [";
      for (size_t i = 0; i < panels.size(); ++i) {
        const auto& p = panels[i].identity;
        out << (i ? ", " : "") << "{\"model\": " << JsonString(p.model) << ", \"firmware\": " << p.firmware
            << ", \"id\": " << JsonString(p.panelId) << ", \"server_phone\": " << JsonString(p.serverPhone)
            << ", \"check_phone\": " << JsonString(p.checkPhone)
            << ", \"last_read\": " << JsonString(panels[i].lastRead) << "}";
      }
      out << "],\n \"snapshots\": [";
      for (size_t i = 0; i < snapshots.size(); ++i) {
        const auto& s = snapshots[i];
        out << (i ? ",\n   " : "\n   ") << "{\"id\": " << s.id << ", \"taken\": " << JsonString(s.taken)
            << ", \"kind\": " << JsonString(s.kind) << ", \"model\": " << JsonString(s.model)
            << ", \"firmware\": " << s.firmware << ", \"technician\": " << JsonString(s.technician)
            << ", \"sha256\": " << JsonString(s.hash) << "}";
      }
      out << "],\n \"conflicts\": [";
      for (size_t i = 0; i < conflicts.size(); ++i) {
        out << (i ? ", " : "") << "{\"field\": " << JsonString(conflicts[i].field)
            << ", \"shown\": " << JsonString(conflicts[i].local)
            << ", \"other\": " << JsonString(conflicts[i].imported)
            << ", \"other_technician\": " << JsonString(conflicts[i].otherTechnician) << "}";
      }
      out << "]}\n";
      return kOk;
    }
    out << "Объект: " << site->name << "  (#" << site->ShortId() << ")\nЗаказчик: " << site->customer
        << "\nАдрес: " << site->address << "\nТелефоны: " << site->phones << "\nЗаметки: " << site->notes
        << "\nИзменён: " << sites::LocalText(site->changed) << " (" << site->technician << ")\n\nПанели:\n";
    for (const auto& p : panels) {
      out << "  " << p.identity.model << " " << p.identity.firmware << "\tID " << p.identity.panelId
          << "\tсервер " << p.identity.serverPhone << "\tпроверка " << p.identity.checkPhone << "\tпрочитана "
          << sites::LocalText(p.lastRead) << "\n";
    }
    out << "\nСнимки (новые сверху):\n";
    for (const auto& s : snapshots) {
      out << "  " << s.id << "\t" << sites::LocalText(s.taken) << "\t" << sites::KindWords(s.kind) << "\t"
          << s.model << " " << s.firmware << "\t" << s.technician << "\n";
    }
    if (!conflicts.empty()) {
      out << "\nРасхождения (изменено с двух сторон; оба значения сохранены, выберите одно: sites resolve):\n";
      for (const auto& c : conflicts) {
        out << "  " << c.field << ": «" << c.local << "» или «" << c.imported << "»"
            << (c.otherTechnician.empty() ? "" : " (" + c.otherTechnician + ")") << "\n";
      }
    }
    return kOk;
  }

  int Export(const std::string& name) {
    if (output_.empty()) return Usage("export: нужен -o ФАЙЛ");
    const auto site = Named(name);
    if (!site) return kNoPanel;
    sites::ExportSite(*store_, site->id, output_);
    env_.err << "Объект «" << site->name << "» выгружен в " << output_ << "\n";
    return kOk;
  }

  // A database the import makes is left only when the import went in: a
  // refused file leaves nothing behind.
  int ImportInto(const std::string& file) {
    const std::string path = DatabasePath(env_);
    std::error_code error;
    const bool existed = fs::exists(sites::PathOf(path), error) || fs::exists(sites::PathOf(path + "-wal"), error);
    const bool backupsExisted = fs::exists(sites::PathOf(sites::BackupFolder(path)), error);
    try {
      store_ = OpenStore(env_, false);
      return Import(file);
    } catch (...) {
      if (!existed) {
        store_.reset();
        for (const char* suffix : {"", "-wal", "-shm", "-journal"}) fs::remove(sites::PathOf(path + suffix), error);
        if (!backupsExisted) fs::remove_all(sites::PathOf(sites::BackupFolder(path)), error);
      }
      throw;
    }
  }

  int Import(const std::string& file) {
    sites::TStopWhen stop;
    stop.flag = env_.interrupted;
    const sites::TImportReport r = sites::ImportSites(*store_, file, stop);
    if (json_) {
      env_.out << "{\"sites_added\": " << r.sitesAdded << ", \"sites_updated\": " << r.sitesUpdated
               << ", \"sites_unchanged\": " << r.sitesUnchanged << ", \"fields_taken\": " << r.fieldsTaken
               << ", \"snapshots_added\": " << r.snapshotsAdded
               << ", \"snapshots_already_here\": " << r.snapshotsAlreadyThere
               << ", \"snapshots_refused\": " << r.snapshotsRefused << ", \"panels_refused\": " << r.panelsRefused
               << ", \"same_names\": [";
      for (size_t i = 0; i < r.sameNames.size(); ++i) env_.out << (i ? ", " : "") << JsonString(r.sameNames[i]);
      env_.out << "], \"conflicts\": [";
      for (size_t i = 0; i < r.conflicts.size(); ++i) {
        env_.out << (i ? ", " : "") << "{\"field\": " << JsonString(r.conflicts[i].field)
                 << ", \"shown\": " << JsonString(r.conflicts[i].local)
                 << ", \"other\": " << JsonString(r.conflicts[i].imported) << "}";
      }
      env_.out << "]}\n";
      return kOk;
    }
    env_.out << "Объектов добавлено: " << r.sitesAdded << ", обновлено: " << r.sitesUpdated
             << " (полей принято: " << r.fieldsTaken << "), без изменений: " << r.sitesUnchanged
             << "; снимков добавлено: " << r.snapshotsAdded << ", уже были: " << r.snapshotsAlreadyThere << "\n";
    if (r.snapshotsRefused || r.panelsRefused) {
      env_.out << "Не приняты (не настройки панели или время вне разумных пределов): снимков " << r.snapshotsRefused
               << ", панелей " << r.panelsRefused << "\n";
    }
    for (const auto& name : r.sameNames) {
      env_.out << "Внимание: объект «" << name << "» уже был под тем же названием; это другой объект (sites find)\n";
    }
    for (const auto& c : r.conflicts) {
      env_.out << "Расхождение, оставлены оба: " << c.field << ": «" << c.local << "» или «" << c.imported << "»\n";
    }
    return kOk;
  }

  int Backup() {
    if (output_.empty()) return Usage("backup: нужен -o ФАЙЛ");
    store_->Backup(output_);
    env_.err << "Копия базы объектов: " << output_ << "\n";
    return kOk;
  }

  int Resolve(const std::string& name, const std::string& field, const std::string& value) {
    const auto site = Named(name);
    if (!site) return kNoPanel;
    store_->Resolve(site->id, field, value);
    env_.err << "Объект «" << site->name << "»: " << field << " — «" << value << "»\n";
    return kOk;
  }

  // One field as the window's page edits it: a change of its own, which
  // merges, hands over and syncs as any edit does.
  int Set(const std::string& name, const std::string& fieldWords, const std::string& value) {
    const int field = sites::FieldByWords(fieldWords);
    if (field < 0) return Usage("поле: name, customer, address, phones или notes (название, заказчик, адрес, телефоны, заметки)");
    if (field == 0 && value.empty()) return Usage("название объекта не может быть пустым");
    const auto site = Named(name);
    if (!site) return kNoPanel;
    TSite edited = *site;
    edited.changed.clear();  // a script's edit, not a page opened earlier
    std::string* const members[] = {&edited.name, &edited.customer, &edited.address, &edited.phones, &edited.notes};
    *members[field] = value;
    store_->UpdateSite(edited);
    const TSite now = *store_->Site(site->id);
    if (json_) env_.out << SiteJson(now) << "\n";
    else env_.err << "Объект «" << now.name << "»: " << sites::kSiteFieldWords[field] << " — «" << value << "»\n";
    return kOk;
  }

  int Add() {
    TSite site;
    site.name = words_[1];
    if (site.name.empty()) return Usage("название объекта не может быть пустым");
    for (size_t i = 2; i + 1 < words_.size(); i += 2) {
      const std::string& option = words_[i];
      std::string& into = option == "--customer" ? site.customer
                          : option == "--address" ? site.address
                          : option == "--phones"  ? site.phones
                          : option == "--notes"   ? site.notes
                                                  : site.uid;
      if (&into == &site.uid) return Usage("sites add: неизвестный параметр " + option);
      into = words_[i + 1];
    }
    // Run twice from a customer list, a script must not make the site twice.
    std::optional<TSite> there;
    try {
      there = store_->SiteByName(site.name);
    } catch (const sites::SitesAmbiguous&) {
      there = TSite{};
    }
    if (there) {
      env_.err << "Объект «" << site.name << "» уже есть" << (there->uid.empty() ? "" : " (#" + there->ShortId() + ")")
               << "; его поля меняет sites set\n";
      return kUsage;
    }
    const TSite made = store_->CreateSite(site);
    if (json_) env_.out << SiteJson(made) << "\n";
    else env_.err << "Объект «" << made.name << "» создан (#" << made.ShortId() << ")\n";
    return kOk;
  }

  int Restore() {
    const std::string path = DatabasePath(env_);
    const std::string backup = words_.size() == 2 ? words_[1] : sites::NewestHealthyBackup(path);
    if (backup.empty()) {
      env_.err << "Исправных копий базы " << path << " нет (" << sites::BackupFolder(path) << ")\n";
      return kFileError;
    }
    if (words_.size() == 1 && sites::IsHealthy(path)) {
      env_.err << "База объектов " << path << " исправна; чтобы всё же заменить её, укажите копию явно\n";
      return kUsage;
    }
    const std::string damaged = sites::RestoreFromBackup(path, backup);
    env_.err << "База объектов восстановлена из " << backup << "; прежний файл сохранён как " << damaged << "\n";
    return kOk;
  }

  const std::vector<std::string>& words_;
  const std::string& output_;
  bool json_;
  const CliEnvironment& env_;
  std::unique_ptr<TSiteStore> store_;
};

}  // namespace

int RunSitesCommand(const std::vector<std::string>& words, const std::string& output, bool json,
                    const CliEnvironment& env) {
  return SitesCommand(words, output, json, env).Run();
}

bool FileUnderSite(const std::string& siteName, const TCFG& cfg, const std::string& kind,
                   const CliEnvironment& env) {
  try {
    auto store = OpenStore(env, false);
    std::optional<TSite> site = store->SiteByName(siteName);
    if (!site) {
      if (siteName.size() > 1 && siteName[0] == '#') {
        env.err << "Объект не найден: " << siteName << "\nСнимок не подшит.\n";
        return false;
      }
      TSite fresh;
      fresh.name = siteName;
      site = store->CreateSite(fresh);
      env.err << "Объект «" << siteName << "» создан\n";
    }
    store->FileSnapshot(FormatSettings(cfg), kind, site->id);
    if (!store->BackupProblem().empty()) env.err << "Внимание: " << store->BackupProblem() << "\n";
    return true;
  } catch (const sites::SitesError& e) {
    env.err << e.what() << "\nСнимок не подшит к объекту «" << siteName << "».\n";
    return false;
  }
}

}  // namespace zarvex::cli
