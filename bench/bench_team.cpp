// The company's server under a company's load, on a throwaway PostgreSQL 15
// of its own (tests/team/pg-test-server.sh) on loopback with TLS: the first
// sync of 1,000 sites with 100,000 snapshots (push and pull, MB/s of
// snapshots), an incremental sync of one change, 20 technicians syncing at
// once, the server's time per change at 1,000 and 10,000 sites, and a
// laptop's pull of one site's history of 1,000, 10,000 and 100,000 changes
// (one chain of edits, and as many edits that replace nothing), whose cost
// should grow no faster than n log n.
//   bench_team [sites] [snapshots per site]
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "settings/settings_format.h"
#include "sites/field_changes.h"
#include "sites/site_store.h"
#include "team/team_admin.h"
#include "team/team_sync.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace zarvex;
namespace fs = std::filesystem;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

fs::path dir;
std::string port;

team::TServerAddress As(const std::string& user) {
  team::TServerAddress a;
  a.host = "127.0.0.1";
  a.port = port;
  a.database = "postgres";
  a.user = user;
  a.caFile = (dir / "server" / "ca.crt").string();
  return a;
}

std::unique_ptr<team::TPgConnection> Connect(const std::string& user) {
  return std::make_unique<team::TPgConnection>(team::ConnInfo(As(user), std::chrono::seconds(60)));
}

std::unique_ptr<sites::TSiteStore> Laptop(const std::string& name) {
  sites::TStoreOptions options;
  options.dailyBackups = 0;
  return std::make_unique<sites::TSiteStore>((dir / (name + ".db")).string(), options);
}

std::string Settings(int site, int k) {
  TCFG cfg;
  cfg.Phone.fill("*");
  cfg.VpnAndId = "1" + std::to_string(100000 + site);
  cfg.ArmDelay = 1 + k;
  cfg.AccessPoint = "apn" + std::to_string(k);
  return FormatSettings(cfg);
}

void Fill(sites::TSiteStore& store, int siteCount, int perSite, int offset) {
  sites::TTransaction t(store.Database());
  for (int s = 0; s < siteCount; ++s) {
    const sites::TSite site = store.CreateSite({0, "", "Объект №" + std::to_string(offset + s), "Заказчик"});
    for (int k = 0; k < perSite; ++k) {
      char taken[40];
      std::snprintf(taken, sizeof taken, "2025-%02d-%02dT%02d:%02d:00.000Z", 1 + k % 12, 1 + k % 28, k % 24, k % 60);
      store.FileSnapshot(Settings(offset + s, k), "read", site.id, taken);
    }
  }
  t.Commit();
}

double SnapshotMegabytes(sites::TSiteStore& store) {
  sites::TStatement s = store.Database().Prepare("SELECT coalesce(sum(length(content)), 0) FROM snapshots");
  return s.Step() ? static_cast<double>(s.Int(0)) / (1024.0 * 1024.0) : 0;
}

// The server's time for one push of `changes` field edits, per change.
double PerChangeMs(sites::TSiteStore& store, const std::string& user, int changes) {
  std::vector<sites::TSite> all = store.Sites();
  for (int i = 0; i < changes; ++i) {
    sites::TSite site = all[static_cast<size_t>(i * 7919) % all.size()];
    site.changed.clear();
    site.notes = "правка " + std::to_string(i) + " " + std::to_string(std::rand());
    store.UpdateSite(site);
  }
  auto link = Connect(user);
  const auto start = Clock::now();
  team::Sync(store, *link);
  return Seconds(Clock::now() - start) * 1000 / changes;
}

struct TPullCost {
  double seconds = 0, cpuSeconds = 0;
};

// One site with `n` edits of its notes, pushed by one technician and pulled
// by a colleague's new laptop. `chained`: each edit replaces the one before;
// otherwise none replaces any (every one a head, as a forged push makes them).
TPullCost PullCost(int n, bool chained) {
  const std::string name = "history" + std::to_string(n) + (chained ? "chain" : "heads");
  // A branch of its own, so the colleague pulls this site alone.
  const std::string pusher = name + "_from", puller = name + "_to";
  {
    auto root = Connect("company_root");
    team::AddTechnician(*root, pusher, name, team::TRole::Technician, "password-" + pusher, false);
    team::AddTechnician(*root, puller, name, team::TRole::Technician, "password-" + puller, false);
    std::ofstream(dir / "pgpass", std::ios::app) << "127.0.0.1:*:*:" << pusher << ":password-" << pusher << "\n"
                                                 << "127.0.0.1:*:*:" << puller << ":password-" << puller << "\n";
  }
  auto from = Laptop(name + "-from");
  const sites::TSite site = from->CreateSite({0, "", "История " + std::to_string(n)});
  std::vector<sites::TFieldChange> changes;
  std::string parent;
  for (int i = 0; i < n; ++i) {
    sites::TFieldChange c;
    c.siteUid = site.uid;
    c.field = "notes";
    c.value = "правка №" + std::to_string(i);
    char made[40];
    std::snprintf(made, sizeof made, "2025-%02d-%02dT%02d:%02d:%02d.%03dZ", 1 + i / 2678400 % 12, 1 + i / 86400 % 28,
                  i / 3600 % 24, i / 60 % 60, i % 60, i % 1000);
    c.made = made;
    c.technician = pusher;
    c.laptop = "BENCH";
    if (chained && !parent.empty()) c.parents = {parent};
    c.changeId = sites::ChangeIdOf(c);
    parent = c.changeId;
    changes.push_back(std::move(c));
  }
  from->MergeChanges(site.id, changes);
  auto push = Connect(pusher);
  team::Sync(*from, *push);
  auto to = Laptop(name + "-to");
  auto pull = Connect(puller);
  const auto start = Clock::now();
  const std::clock_t cpu = std::clock();
  team::Sync(*to, *pull);
  return {Seconds(Clock::now() - start), static_cast<double>(std::clock() - cpu) / CLOCKS_PER_SEC};
}

}  // namespace

int main(int argc, char* argv[]) {
  const int siteCount = argc > 1 ? std::atoi(argv[1]) : 1000;
  const int perSite = argc > 2 ? std::atoi(argv[2]) : 100;
  dir = fs::temp_directory_path() / ("zarvex-bench-team-" + std::to_string(getpid()));
  fs::create_directories(dir);
  port = std::to_string(20000 + getpid() % 30000);
  const std::string script = ZARVEX_PG_TEST_SERVER;
  if (std::system(("bash " + script + " start " + (dir / "server").string() + " " + port).c_str()) != 0) return 1;
  std::string password;
  std::getline(std::ifstream(dir / "server" / "admin.password"), password);
  {
    std::ofstream pgpass(dir / "pgpass");
    pgpass << "127.0.0.1:*:*:company_root:" << password << "\n";
    for (int t = 0; t < 20; ++t) pgpass << "127.0.0.1:*:*:tech" << t << ":password-" << t << "\n";
  }
  fs::permissions(dir / "pgpass", fs::perms::owner_read | fs::perms::owner_write);
  setenv("PGPASSFILE", (dir / "pgpass").c_str(), 1);
  int status = 0;
  try {
    {
      auto root = Connect("company_root");
      team::InitTeamSchema(*root);
      for (int t = 0; t < 20; ++t) {
        team::AddTechnician(*root, "tech" + std::to_string(t), "Север", team::TRole::Technician,
                            "password-" + std::to_string(t), false);
      }
    }
    auto first = Laptop("first");
    const auto fillStart = Clock::now();
    Fill(*first, siteCount, perSite, 0);
    const double fillS = Seconds(Clock::now() - fillStart);
    const double mb = SnapshotMegabytes(*first);

    auto link = Connect("tech0");
    auto start = Clock::now();
    team::Sync(*first, *link);
    const double pushS = Seconds(Clock::now() - start);
    auto second = Laptop("second");
    auto link1 = Connect("tech1");
    start = Clock::now();
    team::Sync(*second, *link1);
    const double pullS = Seconds(Clock::now() - start);

    // One field on one laptop, then the colleague's sync that brings it.
    sites::TSite site = first->Sites().front();
    site.changed.clear();
    site.address = "ул. Новая, 1";
    first->UpdateSite(site);
    start = Clock::now();
    team::Sync(*first, *link);
    const double incrementalPushMs = Seconds(Clock::now() - start) * 1000;
    start = Clock::now();
    team::Sync(*second, *link1);
    const double incrementalPullMs = Seconds(Clock::now() - start) * 1000;

    // Twenty technicians at once, each laptop synced before and bringing
    // ten new sites with a snapshot each.
    std::vector<std::unique_ptr<sites::TSiteStore>> laptops;
    for (int t = 0; t < 20; ++t) {
      laptops.push_back(Laptop("tech" + std::to_string(t)));
      auto own = Connect("tech" + std::to_string(t));
      team::Sync(*laptops.back(), *own);
      Fill(*laptops.back(), 10, 1, 100000 + t * 100);
    }
    std::vector<std::thread> threads;
    std::vector<double> each(20);
    start = Clock::now();
    for (int t = 0; t < 20; ++t) {
      threads.emplace_back([&, t] {
        const auto own = Clock::now();
        auto mine = Connect("tech" + std::to_string(t));
        team::Sync(*laptops[static_cast<size_t>(t)], *mine);
        each[static_cast<size_t>(t)] = Seconds(Clock::now() - own);
      });
    }
    for (auto& th : threads) th.join();
    const double togetherS = Seconds(Clock::now() - start);
    std::sort(each.begin(), each.end());

    const double perChangeSmall = PerChangeMs(*first, "tech0", 200);
    Fill(*first, siteCount * 9, 0, siteCount);
    team::Sync(*first, *link);
    const double perChangeLarge = PerChangeMs(*first, "tech0", 200);

    // A site's long history: the server's hourly share raised for it.
    Connect("company_root")->Exec(
        "CREATE OR REPLACE FUNCTION zarvex.limits(OUT rows_per_call integer, OUT bytes_per_call bigint, "
        "OUT snapshot_bytes integer, OUT codes_bytes integer, OUT value_bytes integer, OUT text_bytes integer, "
        "OUT changes_per_hour integer, OUT push_seconds integer) LANGUAGE sql IMMUTABLE AS $$ SELECT 10000, "
        "33554432::bigint, 16384, 256, 8192, 256, 100000000, 25 $$");
    std::vector<std::string> historyLines;
    for (const bool chained : {true, false}) {
      double base = 0;
      for (const int n : {1000, 10000, 100000}) {
        const TPullCost c = PullCost(n, chained);
        const double nlogn = n * std::log2(static_cast<double>(n));
        if (base == 0) base = c.cpuSeconds / nlogn;
        char line[200];
        std::snprintf(line, sizeof line,
                      "pull of one site's %d changes (%s): %.2f s, %.2f s CPU, %.1f us CPU a change, "
                      "CPU / (n log n) %.2f times the 1,000's",
                      n, chained ? "one chain" : "none replaced", c.seconds, c.cpuSeconds, c.cpuSeconds * 1e6 / n,
                      c.cpuSeconds / nlogn / base);
        historyLines.push_back(line);
      }
    }

    std::printf("laptop: %d sites, %d snapshots (%.1f MB of settings), made in %.1f s\n", siteCount,
                siteCount * perSite, mb, fillS);
    std::printf("first sync: push %.1f s (%.1f MB/s), pull on a second laptop %.1f s (%.1f MB/s)\n", pushS,
                mb / pushS, pullS, mb / pullS);
    std::printf("incremental sync of one change: push %.1f ms, the colleague's pull %.1f ms\n", incrementalPushMs,
                incrementalPullMs);
    std::printf("20 technicians syncing at once (ten new sites each, the others' to pull): %.2f s in all, "
                "median %.2f s, slowest %.2f s\n", togetherS, each[10], each[19]);
    std::printf("server time per change: %.2f ms at %d sites, %.2f ms at %d sites\n", perChangeSmall, siteCount,
                perChangeLarge, siteCount * 10);
    for (const std::string& line : historyLines) std::printf("%s\n", line.c_str());
    std::printf("FIGURES first_push_mb_s=%.1f first_pull_mb_s=%.1f incremental_ms=%.1f per_change_small_ms=%.2f "
                "per_change_large_ms=%.2f\n", mb / pushS, mb / pullS, incrementalPushMs + incrementalPullMs,
                perChangeSmall, perChangeLarge);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "bench_team: %s\n", e.what());
    status = 1;
  }
  std::system(("bash " + script + " stop " + (dir / "server").string()).c_str());
  std::error_code ignored;
  fs::remove_all(dir, ignored);
  return status;
}
