#include "cli/cli_app.h"

#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <ostream>
#include <set>
#include <thread>

#include "cli/cli_help.h"
#include "cli/cli_output.h"
#include "cli/panel_session.h"
#include "cli/sites_command.h"
#include "cli/team_command.h"
#include "report/panel_compare.h"
#include "report/settings_compare.h"
#include "settings/settings_file.h"
#include "settings/settings_file_error.h"
#include "settings/settings_format.h"

namespace zarvex::cli {

namespace {

struct Arguments {
  std::string command;
  std::vector<std::string> words;  // after the command
  std::string device, output, log, site, db;
  bool json = false, verify = false, help = false, all = false, allowShort = false;
  int panels = 0;  // provision: stop after this many; 0 = until interrupted
  std::string error;
};

// A whole number in [lo, hi], digits only.
bool NumberIn(const std::string& text, int lo, int hi, int& value) {
  if (text.empty() || text.size() > 6 || text.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  value = std::stoi(text);
  return value >= lo && value <= hi;
}

constexpr int kMaxPanels = 100000;

Arguments Parse(const std::vector<std::string>& args) {
  Arguments a;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&](std::string& into) {
      const size_t eq = arg.find('=');
      if (eq != std::string::npos) {
        into = arg.substr(eq + 1);
      } else if (i + 1 < args.size()) {
        into = args[++i];
      } else {
        a.error = "Параметру " + arg + " нужно значение";
      }
    };
    const std::string name = arg.substr(0, arg.find('='));
    if (name == "--device") value(a.device);
    else if (name == "-o" || name == "--output") value(a.output);
    else if (name == "--log") value(a.log);
    else if (name == "--site") value(a.site);
    else if (name == "--db") value(a.db);
    else if (name == "--panels") {
      std::string n;
      value(n);
      if (!NumberIn(n, 0, kMaxPanels, a.panels)) {
        a.error = "--panels ждёт число от 0 до " + std::to_string(kMaxPanels);
      }
    } else if (arg == "--json") a.json = true;
    else if (arg == "--verify") a.verify = true;
    else if (arg == "--all") a.all = true;
    else if (arg == "--allow-short") a.allowShort = true;
    else if (arg == "--help" || arg == "-h") a.help = true;
    else if (a.command == "team" && arg.size() > 1 && arg[0] == '-') a.words.push_back(arg);  // its own options
    else if (a.command == "sites" &&
             (name == "--customer" || name == "--address" || name == "--phones" || name == "--notes")) {
      std::string field;  // `sites add`'s fields, as words of its own
      value(field);
      a.words.push_back(name);
      a.words.push_back(field);
    }
    else if (arg.size() > 1 && arg[0] == '-') a.error = "Неизвестный параметр " + arg;
    else if (a.command.empty()) a.command = arg;
    else a.words.push_back(arg);
  }
  return a;
}

class Command {
 public:
  Command(const Arguments& a, hid::THidPlatform& platform, const CliEnvironment& env)
      : a_(a), platform_(platform), env_(env) {}

  int Run();

 private:
  int Usage(const std::string& why) {
    env_.err << "zarvex-cli: " << why << "\n" << CommandHelp(a_.command);
    return kUsage;
  }
  int Fail(int code, const std::string& message) {
    env_.err << message << "\n";
    return code;
  }
  bool Load(const std::string& file, TCFG& cfg, int& code, int* lines = nullptr);
  // Load for a write: refuses a cut file (unless --allow-short) and a number
  // the panel cannot hold.
  bool LoadForWrite(const std::string& file, TCFG& cfg, int& code);
  // Picks the panel to talk to and connects; null with `code` set when none.
  std::unique_ptr<TPanelSession> Open(int& code, const std::string& path = "");
  std::unique_ptr<TPanelSession> Session(const std::string& path);
  void EndProgress() {
    if (env_.errIsTerminal && progressShown_) env_.err << "\n";
    progressShown_ = false;
  }
  int Finish(TPanelSession& s, int code) {
    EndProgress();
    if (code != kOk) env_.err << s.Message() << "\n";
    return code;
  }

  int List();
  int Read();
  int Write();
  int Diff();
  int Show();
  int Keys();
  int Wireless();
  int Provision();
  int WriteAndVerify(TPanelSession& s, const TCFG& record, std::string& result);
  // With --site: what a read or write left, filed under that site.
  bool FiledUnderSite(const TCFG& cfg, const char* kind);
  bool siteFilingFailed_ = false;

  const Arguments& a_;
  hid::THidPlatform& platform_;
  const CliEnvironment& env_;
  bool progressShown_ = false;
};

bool Command::Load(const std::string& file, TCFG& cfg, int& code, int* lines) {
  try {
    const int read = LoadSettingsFile(file, cfg);
    if (lines) *lines = read;
    return true;
  } catch (const SettingsFileError& e) {
    code = Fail(kFileError, "Не удалось прочитать файл " + file + ": " + e.what());
    return false;
  }
}

bool Command::LoadForWrite(const std::string& file, TCFG& cfg, int& code) {
  int lines = 0;
  if (!Load(file, cfg, code, &lines)) return false;
  // Older files may lack the last line; anything shorter is a cut file that
  // would write zeros and empty texts into the panel.
  if (lines < kSettingsFileLines - 1 && !a_.allowShort) {
    code = Fail(kFileError, "Файл " + file + ": " + ShortFileWarning(lines) +
                                ".\nЗапись отменена; --allow-short записывает файл как есть.");
    return false;
  }
  if (lines < kSettingsFileLines) env_.err << "Файл " << file << ": " << ShortFileWarning(lines) << "\n";
  if (const auto bad = report::FirstUnwritable(cfg, Utf8)) {
    code = Fail(kFileError, "Файл " + file + ": «" + bad->field->label + "» (страница «" +
                                bad->field->page + "») = " + bad->shown +
                                " — панель не может хранить такое значение; запись отменена.");
    return false;
  }
  return true;
}

std::unique_ptr<TPanelSession> Command::Session(const std::string& path) {
  auto s = std::make_unique<TPanelSession>(platform_, path, env_.pace);
  s->silenceLimitMs = env_.silenceLimitMs;
  s->pairingWaitMs = env_.pairingWaitMs;
  s->interrupted = env_.interrupted;
  s->OnProgress([this](const std::string& text) {
    env_.err << ProgressLine(text, env_.errIsTerminal, env_.errErasesLines) << std::flush;
    progressShown_ = true;
  });
  return s;
}

std::unique_ptr<TPanelSession> Command::Open(int& code, const std::string& chosen) {
  std::string path = chosen.empty() ? a_.device : chosen;
  const std::vector<PanelNode> panels = FindPanels(platform_);
  const PanelNode* node = nullptr;
  for (const PanelNode& p : panels) {
    if (path.empty() || p.path == path) node = &p;
  }
  if (node == nullptr) {
    code = Fail(kNoPanel, path.empty() ? "Панель не найдена. Подключите панель по USB."
                                       : "Панель не найдена: " + path);
    return nullptr;
  }
  if (path.empty() && panels.size() > 1) {
    std::string list = "Подключено несколько панелей; выберите одну: --device УЗЕЛ\n";
    for (const PanelNode& p : panels) list += "  " + p.path + "\n";
    code = Fail(kUsage, list.substr(0, list.size() - 1));
    return nullptr;
  }
  if (!node->readWrite || node->busy) {
    code = Fail(kNoAccess, node->busy ? BusyText(node->path) : NoAccessText(node->path));
    return nullptr;
  }
  auto session = Session(node->path);
  code = session->Connect();
  if (code != kOk) {
    Finish(*session, code);
    return nullptr;
  }
  return session;
}

int Command::List() {
  const std::vector<PanelNode> panels = FindPanels(platform_);
  std::string json = "[";
  if (!a_.json && !panels.empty()) env_.out << "УЗЕЛ\tИЗДЕЛИЕ\tМОДЕЛЬ\tВЕРСИЯ\tДОСТУП\n";
  for (const PanelNode& p : panels) {
    std::string model = "?", version = "?";
    if (p.readWrite && !p.busy) {
      auto s = Session(p.path);
      if (s->Connect() == kOk) {
        model = s->Model();
        version = std::to_string(s->FirmwareVersion());
      }
    }
    const std::string access = p.busy        ? "занята другой программой"
                               : p.readWrite ? "чтение и запись"
                                             : "только запрос";
    if (a_.json) {
      json += std::string(json.size() > 1 ? "," : "") + "\n  {\"node\": " + JsonString(p.path) +
              ", \"product\": " + JsonString(kPanelProduct) + ", \"model\": " + JsonString(model) +
              ", \"firmware\": " + JsonString(version) +
              ", \"read_write\": " + (p.readWrite ? "true" : "false") +
              ", \"busy\": " + (p.busy ? "true" : "false") + "}";
    } else {
      env_.out << p.path << "\t" << kPanelProduct << "\t" << model << "\t" << version << "\t"
               << access << "\n";
    }
  }
  if (a_.json) env_.out << json << "\n]\n";
  if (panels.empty()) return Fail(kNoPanel, "Панелей не найдено");
  return kOk;
}

int Command::Read() {
  if (!a_.words.empty()) return Usage("лишние аргументы");
  int code = kOk;
  auto s = Open(code);
  if (!s) return code;
  code = Finish(*s, s->Read());
  if (code != kOk) return code;
  if (!a_.output.empty()) {
    try {
      SaveSettingsFile(a_.output, s->Record());
    } catch (const SettingsFileError& e) {
      return Fail(kFileError, "Не удалось записать файл " + a_.output + ": " + e.what());
    }
    env_.err << "Конфигурация прочитана в " << a_.output << "\n";
  } else {
    env_.out << (a_.json ? SettingsJson(s->Record()) : SettingsTable(s->Record()));
  }
  return FiledUnderSite(s->Record(), "read") ? kOk : kFileError;
}

bool Command::FiledUnderSite(const TCFG& cfg, const char* kind) {
  if (a_.site.empty() || FileUnderSite(a_.site, cfg, kind, env_)) return true;
  siteFilingFailed_ = true;
  return false;
}

// The write and, with --verify, a full read compared parameter by parameter.
int Command::WriteAndVerify(TPanelSession& s, const TCFG& record, std::string& result) {
  int code = Finish(s, s.Write(record));
  if (code != kOk) {
    result = s.Message();
    // What a cut write left on the panel is part of the site's story too.
    if (result.rfind("Запись прервана", 0) == 0) FiledUnderSite(record, "written-cut");
    return code;
  }
  result = "записано";
  const TCFG written = s.Record();
  FiledUnderSite(written, "written");
  if (!a_.verify) return kOk;
  code = Finish(s, s.Read());
  if (code != kOk) {
    result = "записано, проверка не удалась: " + s.Message();
    return code;
  }
  FiledUnderSite(s.Record(), "verify");
  report::Comparison c =
      report::CompareWithPanel(s.Record(), written, s.FirmwareVersion(), Utf8).comparison;
  for (report::Difference& d : c.differences) std::swap(d.ours, d.theirs);  // written → read
  if (c.parametersDiffering == 0) {
    result = "записано и проверено";
    return kOk;
  }
  env_.err << "Проверка: панель хранит не то, что записано (записано → прочитано)\n"
           << ComparisonText(c);
  result = "записано, проверка: " + report::DifferenceCountText(c.parametersDiffering);
  return kMismatch;
}

int Command::Write() {
  if (a_.words.size() != 1) return Usage("нужен один файл");
  TCFG record;
  int code = kOk;
  if (!LoadForWrite(a_.words[0], record, code)) return code;
  auto s = Open(code);
  if (!s) return code;
  std::string result;
  code = WriteAndVerify(*s, record, result);
  if (code == kOk) env_.err << "Конфигурация записана" << (a_.verify ? " и проверена" : "") << "\n";
  return code == kOk && siteFilingFailed_ ? kFileError : code;
}

int Command::Diff() {
  if (a_.words.size() != 1) return Usage("нужен один файл");
  TCFG file;
  int code = kOk;
  if (!Load(a_.words[0], file, code)) return code;
  auto s = Open(code);
  if (!s) return code;
  code = Finish(*s, s->Read());
  if (code != kOk) return code;
  // Would `write FILE` change this panel? Only what travels to it counts.
  const report::PanelComparison pc =
      report::CompareWithPanel(s->Record(), file, s->FirmwareVersion(), Utf8);
  const report::Comparison& c = pc.comparison;
  if (a_.json) {
    env_.out << ComparisonJson(c);
  } else {
    env_.out << "панель → файл " << a_.words[0] << "\n" << ComparisonText(c);
    if (a_.all && !pc.notCarried.empty()) {
      env_.out << "Не передаются в эту панель (запись их не меняет):\n";
      for (const report::Difference& d : pc.notCarried) {
        env_.out << "  " << report::DescribeDifference(d) << "\n";
      }
    }
  }
  return c.parametersDiffering == 0 ? kOk : kMismatch;
}

int Command::Show() {
  if (a_.words.size() != 1) return Usage("нужен один файл");
  TCFG file;
  int code = kOk, lines = 0;
  if (!Load(a_.words[0], file, code, &lines)) return code;
  if (lines < kSettingsFileLines) env_.err << "Файл " << a_.words[0] << ": " << ShortFileWarning(lines) << "\n";
  env_.out << (a_.json ? SettingsJson(file) : SettingsTable(file));
  return kOk;
}

int Command::Keys() {
  const std::vector<std::string>& w = a_.words;
  const std::string sub = w.empty() ? "" : w[0];
  int lo = 0, hi = 0;
  if (sub == "add" || sub == "delete") {
    if (w.size() != 3 || !NumberIn(w[1], 1, 1000, lo) || !NumberIn(w[2], 1, 1000, hi)) {
      return Usage("позиции ключей — числа от 1 до 1000");
    }
  } else if (!((sub == "list" || sub == "delete-all") && w.size() == 1)) {
    return Usage("неизвестная команда ключей");
  }
  int code = kOk;
  auto s = Open(code);
  if (!s) return code;
  if (s->FirmwareVersion() >= 500) {
    return Fail(kPanelError, "Ключи есть только у панелей первой модели (прошивка ниже 500); "
                             "у этой панели версия " + std::to_string(s->FirmwareVersion()));
  }
  if (sub == "list") {
    code = Finish(*s, s->ListKeys());
    if (code != kOk) return code;
    const auto& rows = s->View().keyRows;
    std::string json = "[";
    if (!a_.json) env_.out << "№\tКлюч (hex)\tДубль\n";
    for (const auto& r : rows) {
      if (a_.json) {
        json += std::string(json.size() > 1 ? "," : "") + "\n  {\"position\": " + r.position +
                ", \"key\": " + JsonString(r.key) + ", \"duplicate_of\": " +
                (r.duplicate.empty() ? "null" : r.duplicate) + "}";
      } else {
        env_.out << r.position << "\t" << r.key << "\t" << r.duplicate << "\n";
      }
    }
    if (a_.json) env_.out << json << "\n]\n";
    return kOk;
  }
  const std::string from = std::to_string(lo), to = std::to_string(hi);
  code = Finish(*s, s->KeyCommand([&](protocol::DeviceLink& link) {
    if (sub == "add") link.ButtonWriteKeysClick(from, to);
    else if (sub == "delete") link.ButtonDelKeysClick(from, to);
    else link.ButtonDelAllKeysClick();
  }));
  if (code != kOk) return code;
  for (const std::string& m : s->View().messages) env_.err << m << "\n";
  if (sub == "add") {
    env_.err << "Панель ждёт ключи для позиций " << from << "–" << std::max(lo, hi) << "\n";
  }
  return kOk;
}

int Command::Wireless() {
  const std::vector<std::string>& w = a_.words;
  const std::string sub = w.empty() ? "" : w[0];
  int n = 0, loop = 0;
  const bool one = sub == "pair-fob" || sub == "delete-fob";
  const bool sensor = sub == "pair-sensor" || sub == "delete-sensor";
  if (one) {
    if (w.size() != 2 || !NumberIn(w[1], 1, 10, n)) return Usage("номер брелока — от 1 до 10");
  } else if (sensor) {
    if (w.size() != 3 || !NumberIn(w[1], 3, 4, loop) || !NumberIn(w[2], 1, 10, n)) {
      return Usage("датчик: шлейф 3 или 4 и номер от 1 до 10");
    }
  } else if (!((sub == "list" || sub == "delete-fobs" || sub == "delete-sensors") && w.size() == 1)) {
    return Usage("неизвестная команда беспроводных устройств");
  }
  int code = kOk;
  auto s = Open(code);
  if (!s) return code;
  if (sub == "pair-fob" && s->FirmwareVersion() <= 500) {
    return Fail(kPanelError, "Брелоки сопрягаются только с прошивкой выше 500; у этой панели версия " +
                                 std::to_string(s->FirmwareVersion()));
  }
  if (sub == "list") {
    code = Finish(*s, s->ListWireless());
    if (code != kOk) return code;
    const auto& v = s->View();
    if (a_.json) {
      env_.out << "{\"trinkets\": " << JsonString(v.trinkets) << ", \"sensors\": "
               << JsonString(v.sensors) << "}\n";
    } else {
      env_.out << v.trinkets << "\n" << v.sensors << "\n";
    }
    return kOk;
  }
  const std::string number = std::to_string(n);
  const bool pairing = sub == "pair-fob" || sub == "pair-sensor";
  if (pairing) env_.err << "Панель ждёт сопряжения; нажмите кнопку на устройстве…\n";
  code = Finish(*s, s->WirelessCommand(
                        [&](protocol::DeviceLink& link) {
                          if (sub == "pair-fob") link.ButtonWriteTrinketClick(number);
                          else if (sub == "delete-fob") link.ButtonDelTrinketClick(number);
                          else if (sub == "delete-fobs") link.ButtonDelAllTrinketClick();
                          else if (sub == "pair-sensor") link.ButtonWriteSensorClick(number, loop == 3);
                          else if (sub == "delete-sensor") link.ButtonDelSensorClick(number, loop == 3);
                          else link.ButtonDelAllSensorClick();
                        },
                        pairing));
  if (code != kOk) return code;
  for (const std::string& m : s->View().messages) env_.err << m << "\n";
  return kOk;
}

std::string Now() {
  const std::time_t t = std::time(nullptr);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", std::localtime(&t));
  return stamp;
}

int Command::Provision() {
  if (a_.words.size() != 1) return Usage("нужен один файл");
  TCFG record;
  int code = kOk;
  if (!LoadForWrite(a_.words[0], record, code)) return code;
  std::ofstream log;
  if (!a_.log.empty()) {
    // A UTF-8 name, opened as the system's wide name where it has one.
    log.open(std::filesystem::path(std::u8string(a_.log.begin(), a_.log.end())), std::ios::app);
    if (!log) return Fail(kFileError, "Не удалось открыть журнал " + a_.log);
  }
  env_.err << "Ожидание панелей; Ctrl+C — закончить.\n";
  std::set<std::string> seen;  // plugs already handled
  int handled = 0, failed = 0;
  bool cut = false, logFailed = false;
  while (a_.panels == 0 || handled < a_.panels) {
    if (env_.interrupted && *env_.interrupted) break;
    const PanelNode* next = nullptr;
    const std::vector<PanelNode> panels = FindPanels(platform_);
    for (const PanelNode& p : panels) {
      if (!seen.count(p.instance)) next = &p;
    }
    if (next == nullptr) {
      std::this_thread::sleep_for(std::chrono::milliseconds(env_.pollMs));
      continue;
    }
    seen.insert(next->instance);
    ++handled;
    std::string model = "?", version = "?", result;
    int panelCode = kOk;
    if (!next->readWrite || next->busy) {
      panelCode = kNoAccess;
      result = next->busy ? "панель занята другой программой" : "нет доступа к устройству";
    } else {
      auto s = Session(next->path);
      panelCode = s->Connect();
      if (panelCode == kOk) {
        model = s->Model();
        version = std::to_string(s->FirmwareVersion());
        panelCode = WriteAndVerify(*s, record, result);
      } else {
        result = s->Message();
      }
    }
    if (panelCode != kOk) ++failed;
    const std::string line = Now() + "\t" + next->path + "\t" + model + "\t" + version + "\t" +
                             (panelCode == kOk ? "ГОТОВО: " : "ОШИБКА: ") + result;
    env_.out << line << std::endl;
    if (!a_.log.empty() && !logFailed) {
      log << line << std::endl;
      if (!log) {
        logFailed = true;
        env_.err << "Не удалось записать журнал " << a_.log
                 << " (диск заполнен?); дальнейшие строки только на экране\n";
      }
    }
    if (panelCode == kInterrupted) {
      cut = true;
      break;
    }
  }
  env_.err << "Панелей: " << handled << ", с ошибкой: " << failed << "\n";
  if (cut) return kInterrupted;
  if (failed != 0) return kPanelError;
  return logFailed ? kFileError : kOk;
}

int Command::Run() {
  if (!a_.error.empty()) return Usage(a_.error);
  if (a_.help) {
    const std::string help = a_.command.empty() ? ProgramHelp() : CommandHelp(a_.command);
    if (help.empty()) return Usage("неизвестная команда " + a_.command);
    env_.out << help;
    return kOk;
  }
  if (a_.command == "list") return List();
  if (a_.command == "read") return Read();
  if (a_.command == "write") return Write();
  if (a_.command == "diff") return Diff();
  if (a_.command == "show") return Show();
  if (a_.command == "keys") return Keys();
  if (a_.command == "wireless") return Wireless();
  if (a_.command == "provision") return Provision();
  if (a_.command == "sites") return RunSitesCommand(a_.words, a_.output, a_.json, env_);
  if (a_.command == "team") return RunTeamCommand(a_.words, a_.json, env_, env_.in ? *env_.in : std::cin);
  env_.err << (a_.command.empty() ? "zarvex-cli: нужна команда\n"
                                   : "zarvex-cli: неизвестная команда " + a_.command + "\n")
           << ProgramHelp();
  return kUsage;
}

}  // namespace

int RunCli(const std::vector<std::string>& args, hid::THidPlatform& platform,
           const CliEnvironment& env) {
  const Arguments a = Parse(args);
  CliEnvironment chosen = env;
  if (!a.db.empty()) chosen.sitesDatabase = a.db;
  return Command(a, platform, chosen).Run();
}

}  // namespace zarvex::cli
