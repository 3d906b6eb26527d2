// Several programs on one database at once, as separate processes (the
// window, zarvex-cli, a colleague's import): none is told "database is
// locked", none loses or doubles a filing, and a reader never waits on the
// writers.
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <set>
#include <vector>

#include "sites/rolling_backups.h"
#include "sites/site_handover.h"
#include "sites_test_support.h"

namespace zarvex::sites::test {
namespace {

// Runs `work` in a child process; its exit code is 0 when it went well.
pid_t Child(const std::function<void()>& work) {
  const pid_t pid = fork();
  if (pid == 0) {
    try {
      work();
      _exit(0);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "child %d: %s\n", getpid(), e.what());
      _exit(1);
    }
  }
  return pid;
}

int Reap(pid_t pid) {
  int status = 0;
  if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

TEST_F(SitesTest, ProcessesMakingAndFilingIntoANewDatabaseAtOnceLoseNothing) {
  const std::string path = Path(u8"общая.db");
  constexpr int kProcesses = 8, kEach = 40;
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    children.push_back(Child([&, p] {
      TSiteStore store(path);
      const TSite site = store.CreateSite({0, "", "Объект " + std::to_string(p)});
      for (int i = 0; i < kEach; ++i) store.FileSnapshot(PanelFile(std::to_string(100000 + p * 1000 + i)), "read", site.id);
    }));
  }
  for (pid_t c : children) EXPECT_EQ(Reap(c), 0);
  TSiteStore store(path);
  ASSERT_EQ(store.Sites().size(), size_t{kProcesses});
  std::set<std::string> panels;
  for (const TSite& site : store.Sites()) {
    const auto snapshots = store.Snapshots(site.id);
    EXPECT_EQ(snapshots.size(), size_t{kEach}) << site.name;
    for (const auto& s : snapshots) panels.insert(s.hash);
  }
  EXPECT_EQ(panels.size(), size_t{kProcesses * kEach});
  // All of them made the day's copy at once: one whole copy, no halves left.
  const auto copies = Backups(path);
  ASSERT_EQ(copies.size(), 1u);
  EXPECT_TRUE(IsHealthy(copies[0]));
  for (const auto& entry : fs::directory_iterator(fs::path(copies[0]).parent_path())) {
    EXPECT_EQ(entry.path().filename().string().find(".partial"), std::string::npos) << entry.path();
  }
}

TEST_F(SitesTest, AnImportInOneProcessNeitherBlocksAReaderNorCostsAFilingInAnother) {
  const std::string path = Path(u8"sites.db");
  const std::string handed = Path(u8"большой.zxsite");
  {
    TSiteStore colleague(Path(u8"коллега.db"));
    const TSite site = colleague.CreateSite({0, "", "Большой объект"});
    TTransaction t(colleague.Database());
    for (int i = 0; i < 3000; ++i)
      colleague.FileSnapshot(PanelFile("200000", "*", "*", 430, "apn" + std::to_string(i)), "read", site.id,
                             "2026-01-01T10:00:00.000Z");
    t.Commit();
    ExportSite(colleague, site.id, handed);
  }

  TSiteStore mine(path);
  const TSite own = mine.CreateSite({0, "", "Свой"});
  const pid_t importer = Child([&] {
    TSiteStore store(path);
    if (ImportSites(store, handed).snapshotsAdded != 3000) throw SitesError("not all taken in");
  });
  const pid_t filer = Child([&] {
    TSiteStore store(path);
    for (int i = 0; i < 50; ++i) store.FileSnapshot(PanelFile(std::to_string(300000 + i)), "read", own.id);
  });
  // This process reads all along: search and pages, never "locked".
  int reads = 0;
  for (int status = 0; waitpid(filer, &status, WNOHANG) == 0 || reads < 1; ++reads) {
    mine.Find("объект", 200);
    mine.Snapshots(own.id);
  }
  EXPECT_EQ(Reap(importer), 0);
  EXPECT_EQ(mine.Snapshots(own.id).size(), 50u);
  EXPECT_EQ(mine.Sites().size(), 2u);
}

}  // namespace
}  // namespace zarvex::sites::test
