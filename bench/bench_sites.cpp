// The site database at the size of a busy installer's: 1,000 sites and
// 100,000 snapshots. Prints what each keystroke of a search costs (median
// and 95th percentile), opening a site's page, filing one snapshot, and the
// size of the file.
//   bench_sites [sites] [snapshots] [database file]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "settings/settings_format.h"
#include "sites/site_store.h"

namespace {

using Clock = std::chrono::steady_clock;
using zarvex::sites::TSite;
using zarvex::sites::TSiteStore;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

struct Spread {
  double median, p95, worst;
};
Spread SpreadOf(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return {v[v.size() / 2], v[std::min(v.size() - 1, v.size() * 95 / 100)], v.back()};
}

const char* const kKinds[] = {"Склад", "Магазин", "Гараж", "Дача", "Офис", "Аптека", "Кафе", "Цех"};
const char* const kPeople[] = {"Иванов", "Петрова", "Сидоров", "Ёлкин", "Смирнова", "Кузнецов", "Попов"};
const char* const kStreets[] = {"ул. Ленина", "пр. Мира", "ул. Садовая", "СНТ «Берёзка»", "ул. Озёрная"};

std::string Phone(int n) {
  char text[20];
  std::snprintf(text, sizeof text, "+7921%07d", n);
  return text;
}

}  // namespace

int main(int argc, char* argv[]) {
  const int siteCount = argc > 1 ? std::atoi(argv[1]) : 1000;
  const int snapshotCount = argc > 2 ? std::atoi(argv[2]) : 100000;
  const std::string path =
      argc > 3 ? argv[3] : (std::filesystem::temp_directory_path() / "zarvex-bench-sites.db").string();
  for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(path + suffix);

  const auto buildStart = Clock::now();
  std::vector<int64_t> ids;
  {
    TSiteStore store(path);
    const int perSite = std::max(1, snapshotCount / std::max(1, siteCount));
    for (int s = 0; s < siteCount; ++s) {
      TSite site;
      site.name = std::string(kKinds[s % 8]) + " №" + std::to_string(s + 1);
      site.customer = std::string(kPeople[s % 7]) + " " + std::to_string(s);
      site.address = std::string(kStreets[s % 5]) + ", " + std::to_string(s % 97 + 1);
      site.phones = Phone(s);
      zarvex::sites::TTransaction t(store.Database());
      site = store.CreateSite(site);
      ids.push_back(site.id);
      zarvex::TCFG cfg;
      cfg.Phone.fill("*");
      cfg.Phone[0] = Phone(500000 + s);
      cfg.Phone[7] = Phone(900000 + s);
      cfg.VpnAndId = "1" + std::to_string(100000 + s);
      cfg.FirmwareVersion = s % 2 ? 520 : 430;
      for (int k = 0; k < perSite; ++k) {
        cfg.ArmDelay = 1 + 10 * (k % 600);
        cfg.AccessPoint = "apn" + std::to_string(k);
        char taken[32];
        std::snprintf(taken, sizeof taken, "2026-%02d-%02dT%02d:%02d:00.000Z", 1 + k % 12, 1 + k % 28, k % 24, k % 60);
        store.FileSnapshot(zarvex::FormatSettings(cfg), k % 3 ? "read" : "written", site.id, taken);
      }
      t.Commit();
    }
  }
  const double buildS = Ms(Clock::now() - buildStart) / 1000;

  TSiteStore store(path);
  // Search as the installer types: every prefix of what they look for.
  const std::vector<std::string> typed = {"Склад №57", "ёлкин", "берёзка, 4", "+79210000123", "100777",
                                          "Аптека", "петрова 33", "нет такого"};
  std::vector<double> keystrokes;
  for (int round = 0; round < 3; ++round) {
    for (const std::string& text : typed) {
      for (size_t n = 1; n <= text.size(); ++n) {
        if ((static_cast<unsigned char>(text[n - 1]) & 0xC0) == 0x80 && n < text.size()) continue;  // mid-letter
        const auto start = Clock::now();
        const auto found = store.Find(text.substr(0, n), 200);  // the list's first page
        keystrokes.push_back(Ms(Clock::now() - start));
        if (found.size() > 200) return 1;
      }
    }
  }
  std::vector<double> pages;
  for (int i = 0; i < 200; ++i) {
    const int64_t id = ids[static_cast<size_t>(i * 7919) % ids.size()];
    const auto start = Clock::now();
    const auto site = store.Site(id);
    const auto panels = store.Panels(id);
    const auto snapshots = store.Snapshots(id);
    const auto conflicts = store.Conflicts(id);
    pages.push_back(Ms(Clock::now() - start));
    if (!site || snapshots.empty()) return 1;
  }
  std::vector<double> filings;
  zarvex::TCFG cfg;
  cfg.VpnAndId = "1654321";
  for (int i = 0; i < 100; ++i) {
    cfg.ArmDelay = 1 + i;
    const auto start = Clock::now();
    store.FileSnapshot(zarvex::FormatSettings(cfg), "read", ids[static_cast<size_t>(i) % ids.size()]);
    filings.push_back(Ms(Clock::now() - start));
  }
  store.Database().Exec("PRAGMA wal_checkpoint(TRUNCATE)");
  const double megabytes = static_cast<double>(std::filesystem::file_size(path)) / (1024.0 * 1024.0);

  const Spread k = SpreadOf(keystrokes), p = SpreadOf(pages), f = SpreadOf(filings);
  std::printf("database: %d sites, %d snapshots, built in %.1f s, %.1f MB\n", siteCount, snapshotCount, buildS,
              megabytes);
  std::printf("search keystroke (%zu): median %.2f ms, p95 %.2f ms, worst %.2f ms\n", keystrokes.size(), k.median,
              k.p95, k.worst);
  std::printf("site page (%zu): median %.2f ms, p95 %.2f ms, worst %.2f ms\n", pages.size(), p.median, p.p95, p.worst);
  std::printf("filing one snapshot (%zu): median %.2f ms, p95 %.2f ms, worst %.2f ms\n", filings.size(), f.median,
              f.p95, f.worst);
  std::printf("FIGURES keystroke_p95_ms=%.2f page_p95_ms=%.2f filing_p95_ms=%.2f size_mb=%.1f\n", k.p95, p.p95, f.p95,
              megabytes);
  for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(path + suffix);
  return 0;
}
