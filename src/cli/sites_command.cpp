#include "cli/sites_command.h"

#include <memory>
#include <ostream>

#include "cli/cli_output.h"
#include "cli/panel_session.h"
#include "settings/settings_format.h"
#include "sites/database_path.h"
#include "sites/site_handover.h"
#include "sites/site_store.h"

namespace zarvex::cli {

namespace {

using sites::TSite;
using sites::TSiteStore;

std::unique_ptr<TSiteStore> OpenStore(const CliEnvironment& env) {
  return std::make_unique<TSiteStore>(env.sitesDatabase.empty() ? sites::DefaultDatabasePath()
                                                                : env.sitesDatabase);
}

std::string SiteJson(const TSite& s) {
  return "{\"name\": " + JsonString(s.name) + ", \"customer\": " + JsonString(s.customer) +
         ", \"address\": " + JsonString(s.address) + ", \"phones\": " + JsonString(s.phones) +
         ", \"notes\": " + JsonString(s.notes) + ", \"created\": " + JsonString(s.created) +
         ", \"changed\": " + JsonString(s.changed) + ", \"technician\": " + JsonString(s.technician) +
         ", \"uid\": " + JsonString(s.uid) + "}";
}

void PrintSites(const std::vector<TSite>& list, bool json, std::ostream& out) {
  if (json) {
    out << "[";
    for (size_t i = 0; i < list.size(); ++i) out << (i ? ",\n  " : "\n  ") << SiteJson(list[i]);
    out << "\n]\n";
    return;
  }
  for (const TSite& s : list) {
    out << s.name << "\t" << s.customer << "\t" << s.address << "\t" << s.phones << "\n";
  }
}

class SitesCommand {
 public:
  SitesCommand(const std::vector<std::string>& words, const std::string& output, bool json,
               const CliEnvironment& env)
      : words_(words), output_(output), json_(json), env_(env) {}

  int Run() {
    if (words_.empty()) return Usage("нужна команда: list, show, find, export, import или backup");
    const std::string& sub = words_[0];
    try {
      store_ = OpenStore(env_);
      if (sub == "list" && words_.size() == 1) return List(store_->Sites());
      if (sub == "find" && words_.size() == 2) return List(store_->Find(words_[1], -1));
      if (sub == "show" && words_.size() == 2) return Show(words_[1]);
      if (sub == "export" && words_.size() == 2) return Export(words_[1]);
      if (sub == "import" && words_.size() == 2) return Import(words_[1]);
      if (sub == "backup" && words_.size() == 1) return Backup();
    } catch (const sites::SitesError& e) {
      env_.err << e.what() << "\n";
      return kFileError;
    }
    return Usage("неизвестная команда объектов или не те аргументы: " + sub);
  }

 private:
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
    const auto panels = store_->Panels(site->id);
    const auto snapshots = store_->Snapshots(site->id, -1);
    const auto conflicts = store_->Conflicts(site->id);
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
            << ", \"here\": " << JsonString(conflicts[i].local)
            << ", \"imported\": " << JsonString(conflicts[i].imported) << "}";
      }
      out << "]}\n";
      return kOk;
    }
    out << "Объект: " << site->name << "\nЗаказчик: " << site->customer << "\nАдрес: " << site->address
        << "\nТелефоны: " << site->phones << "\nЗаметки: " << site->notes << "\nИзменён: " << site->changed
        << " (" << site->technician << ")\n\nПанели:\n";
    for (const auto& p : panels) {
      out << "  " << p.identity.model << " " << p.identity.firmware << "\tID " << p.identity.panelId
          << "\tсервер " << p.identity.serverPhone << "\tпроверка " << p.identity.checkPhone << "\tпрочитана "
          << p.lastRead << "\n";
    }
    out << "\nСнимки (новые сверху):\n";
    for (const auto& s : snapshots) {
      out << "  " << s.id << "\t" << s.taken << "\t" << sites::KindWords(s.kind) << "\t" << s.model << " "
          << s.firmware << "\t" << s.technician << "\n";
    }
    if (!conflicts.empty()) {
      out << "\nРасхождения после импорта (оставлены оба значения):\n";
      for (const auto& c : conflicts) {
        out << "  " << c.field << ": здесь «" << c.local << "», в импорте «" << c.imported << "»\n";
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

  int Import(const std::string& file) {
    const sites::TImportReport r = sites::ImportSites(*store_, file);
    if (json_) {
      env_.out << "{\"sites_added\": " << r.sitesAdded << ", \"sites_merged\": " << r.sitesMerged
               << ", \"snapshots_added\": " << r.snapshotsAdded
               << ", \"snapshots_already_here\": " << r.snapshotsAlreadyThere << ", \"conflicts\": [";
      for (size_t i = 0; i < r.conflicts.size(); ++i) {
        env_.out << (i ? ", " : "") << "{\"field\": " << JsonString(r.conflicts[i].field)
                 << ", \"here\": " << JsonString(r.conflicts[i].local)
                 << ", \"imported\": " << JsonString(r.conflicts[i].imported) << "}";
      }
      env_.out << "]}\n";
    } else {
      env_.out << "Объектов добавлено: " << r.sitesAdded << ", обновлено: " << r.sitesMerged
               << "; снимков добавлено: " << r.snapshotsAdded << ", уже были: " << r.snapshotsAlreadyThere << "\n";
      for (const auto& c : r.conflicts) {
        env_.out << "Расхождение, оставлены оба: " << c.field << ": здесь «" << c.local << "», в файле «"
                 << c.imported << "»\n";
      }
    }
    return kOk;
  }

  int Backup() {
    if (output_.empty()) return Usage("backup: нужен -o ФАЙЛ");
    store_->Backup(output_);
    env_.err << "Копия базы объектов: " << output_ << "\n";
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
    auto store = OpenStore(env);
    std::optional<TSite> site = store->SiteByName(siteName);
    if (!site) {
      TSite fresh;
      fresh.name = siteName;
      site = store->CreateSite(fresh);
      env.err << "Объект «" << siteName << "» создан\n";
    }
    store->FileSnapshot(FormatSettings(cfg), kind, site->id);
    return true;
  } catch (const sites::SitesError& e) {
    env.err << e.what() << "\nСнимок не подшит к объекту «" << siteName << "».\n";
    return false;
  }
}

}  // namespace zarvex::cli
