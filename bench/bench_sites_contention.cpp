// The site database while another program works on it: each keystroke of a
// search (median and p95) while another process imports a hand-over file of
// 50,000 snapshots; opening the database as the window does (100 ms wait at
// most) while another process holds a write; and the import's and the
// rolling copy's throughput on their own.
//   bench_sites_contention [snapshots] [sites]
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "settings/settings_format.h"
#include "sites/rolling_backups.h"
#include "sites/site_handover.h"
#include "sites/site_store.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace zarvex::sites;
namespace fs = std::filesystem;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

struct Spread {
  double median, p95, worst;
};
Spread SpreadOf(std::vector<double> v) {
  if (v.empty()) return {0, 0, 0};
  std::sort(v.begin(), v.end());
  return {v[v.size() / 2], v[std::min(v.size() - 1, v.size() * 95 / 100)], v.back()};
}

std::string Settings(int site, int k) {
  zarvex::TCFG cfg;
  cfg.Phone.fill("*");
  cfg.VpnAndId = "1" + std::to_string(100000 + site);
  cfg.FirmwareVersion = site % 2 ? 520 : 430;
  cfg.ArmDelay = 1 + k % 6000;
  cfg.AccessPoint = "apn" + std::to_string(k);
  return zarvex::FormatSettings(cfg);
}

std::string Taken(int k) {
  char taken[40];
  std::snprintf(taken, sizeof taken, "2025-%02d-%02dT%02d:%02d:%02d.000Z", 1 + k % 12, 1 + k % 28, k % 24, k % 60,
                (k / 60) % 60);
  return taken;
}

void Remove(const std::string& path) {
  for (const char* suffix : {"", "-wal", "-shm", "-journal"}) fs::remove(path + suffix);
  fs::remove_all(path + ".backups");
}

// A child process running `work`; its exit code tells whether it went well.
pid_t Spawn(const std::function<int()>& work) {
  const pid_t pid = fork();
  if (pid == 0) {
    try {
      _exit(work());
    } catch (const std::exception& e) {
      std::fprintf(stderr, "other process: %s\n", e.what());
      _exit(2);
    }
  }
  return pid;
}

// Whether the child is still at work; once it has ended, `ok` tells how.
bool Running(pid_t pid, bool& ok) {
  int status = 0;
  if (waitpid(pid, &status, WNOHANG) == 0) return true;
  ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return false;
}

bool Reap(pid_t pid) {
  int status = 0;
  return waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

int main(int argc, char* argv[]) {
  const int snapshotCount = argc > 1 ? std::atoi(argv[1]) : 50000;
  const int siteCount = argc > 2 ? std::atoi(argv[2]) : 1000;
  const fs::path folder = fs::temp_directory_path() / ("zarvex-bench-contention-" + std::to_string(getpid()));
  fs::create_directories(folder);
  const std::string mine = (folder / "sites.db").string();
  const std::string theirs = (folder / "theirs.db").string();
  const std::string handed = (folder / "handed.zxsite").string();
  TStoreOptions quiet;
  quiet.dailyBackups = 0;

  // The installer's database, and a colleague's site with many snapshots.
  {
    TSiteStore store(mine, quiet);
    TTransaction t(store.Database());
    for (int s = 0; s < siteCount; ++s) {
      const TSite site = store.CreateSite({0, "", "Объект №" + std::to_string(s + 1), "Заказчик " + std::to_string(s),
                                           "ул. Озёрная, " + std::to_string(s % 97 + 1)});
      for (int k = 0; k < 10; ++k) store.FileSnapshot(Settings(s, k), "read", site.id, Taken(k));
    }
    t.Commit();
  }
  {
    TSiteStore store(theirs, quiet);
    TTransaction t(store.Database());
    const TSite site = store.CreateSite({0, "", "Большой объект", "ООО «Склады»", "Промзона"});
    for (int k = 0; k < snapshotCount; ++k) store.FileSnapshot(Settings(siteCount + 1, k), "read", site.id, Taken(k));
    t.Commit();
    ExportSite(store, site.id, handed);
  }
  const double handedMb = static_cast<double>(fs::file_size(handed)) / (1024.0 * 1024.0);

  // Keystrokes while another process imports the file into the same database.
  const std::string copy = (folder / "copy.db").string();
  fs::copy_file(mine, copy);
  const auto importStart = Clock::now();
  const pid_t importer = Spawn([&] {
    TSiteStore store(copy, quiet);
    const TImportReport report = ImportSites(store, handed);
    if (report.snapshotsAdded == snapshotCount) return 0;
    std::fprintf(stderr, "other process: %d of %d snapshots taken in\n", report.snapshotsAdded, snapshotCount);
    return 1;
  });
  std::vector<double> keystrokes;
  bool imported = false;
  {
    TSiteStore store(copy, quiet);
    const std::vector<std::string> typed = {"Объект №57", "заказчик 3", "озёрная, 4", "100777", "нет такого"};
    while (Running(importer, imported)) {
      for (const std::string& text : typed) {
        for (size_t n = 1; n <= text.size(); ++n) {
          if ((static_cast<unsigned char>(text[n - 1]) & 0xC0) == 0x80 && n < text.size()) continue;
          const auto start = Clock::now();
          store.Find(text.substr(0, n), 200);
          keystrokes.push_back(Ms(Clock::now() - start));
        }
      }
    }
  }
  const double contendedImportS = Ms(Clock::now() - importStart) / 1000;
  if (!imported) {
    std::fprintf(stderr, "the import in the other process failed\n");
    return 1;
  }

  // The window's opening while another process holds a write for 2 s.
  std::vector<double> opens;
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) return 1;
  const pid_t holder = Spawn([&] {
    TDatabase db(mine, TDatabase::Mode::OpenExisting);
    db.Exec("BEGIN IMMEDIATE");
    db.Exec("UPDATE sites SET notes = 'занято' WHERE id = 1");
    if (write(pipeEnds[1], "h", 1) != 1) return 1;
    std::this_thread::sleep_for(std::chrono::seconds(2));
    db.Exec("ROLLBACK");
    return 0;
  });
  char held = 0;
  if (read(pipeEnds[0], &held, 1) != 1) return 1;
  for (int i = 0; i < 20; ++i) {
    TStoreOptions window;
    window.busyWait = std::chrono::milliseconds(100);
    const auto start = Clock::now();
    try {
      TSiteStore store(mine, window);
      store.Find("", 200);
    } catch (const SitesBusy&) {
      // Told and retried later by the window; the time still counts.
    }
    opens.push_back(Ms(Clock::now() - start));
  }
  if (!Reap(holder)) return 1;

  // Throughput on their own: an import, and the rolling copy of the result.
  const std::string alone = (folder / "alone.db").string();
  fs::copy_file(mine, alone);
  double importS = 0, backupS = 0, backupMb = 0;
  {
    TSiteStore store(alone, quiet);
    const auto start = Clock::now();
    ImportSites(store, handed);
    importS = Ms(Clock::now() - start) / 1000;
    const std::string backup = (folder / "backup.db").string();
    const auto copyStart = Clock::now();
    CopyDatabase(store.Database(), backup);
    backupS = Ms(Clock::now() - copyStart) / 1000;
    backupMb = static_cast<double>(fs::file_size(backup)) / (1024.0 * 1024.0);
  }

  const Spread k = SpreadOf(keystrokes), o = SpreadOf(opens);
  std::printf("database: %d sites; hand-over file: %d snapshots, %.1f MB\n", siteCount, snapshotCount, handedMb);
  std::printf("search keystroke during another process's import (%zu, import took %.1f s): median %.2f ms, "
              "p95 %.2f ms, worst %.2f ms\n",
              keystrokes.size(), contendedImportS, k.median, k.p95, k.worst);
  std::printf("opening as the window does while another process holds a write (%zu): median %.2f ms, "
              "p95 %.2f ms, worst %.2f ms\n",
              opens.size(), o.median, o.p95, o.worst);
  std::printf("import alone: %.2f s, %.0f snapshots/s, %.1f MB/s\n", importS, snapshotCount / importS,
              handedMb / importS);
  std::printf("rolling copy: %.1f MB in %.2f s, %.1f MB/s\n", backupMb, backupS, backupMb / backupS);
  std::printf("FIGURES contended_keystroke_p95_ms=%.2f held_open_p95_ms=%.2f import_snapshots_per_s=%.0f "
              "backup_mb_per_s=%.1f\n",
              k.p95, o.p95, snapshotCount / importS, backupMb / backupS);
  for (const std::string& p : {mine, theirs, copy, alone}) Remove(p);
  fs::remove_all(folder);
  return 0;
}
