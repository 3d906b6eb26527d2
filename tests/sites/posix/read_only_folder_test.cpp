// A healthy database in a folder this user may not write (another user's
// folder, a read-only share or medium): read whole, never called damaged,
// and a write is refused as read-only. Checked as a user who is not the
// owner (root drops to "nobody"), with and without a -wal and -shm beside it.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

#include "sites/site_store.h"
#include "sites_test_support.h"

namespace zarvex::sites::test {
namespace {

// The checks run in a child process as another user; its exit code is the
// number of the first that failed, 0 when all held.
int AsAnotherUser(const std::function<int()>& checks) {
  const pid_t pid = fork();
  if (pid == 0) {
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(100);
    try {
      _exit(checks());
    } catch (const std::exception& e) {
      std::fprintf(stderr, "read-only child: %s\n", e.what());
      _exit(101);
    }
  }
  int status = 0;
  if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

void CopyInto(const fs::path& folder, const std::string& source, std::initializer_list<const char*> suffixes) {
  fs::create_directories(folder);
  for (const char* suffix : suffixes) {
    fs::copy_file(fs::path(source + suffix), folder / (std::string("sites.db") + suffix));
    chmod((folder / (std::string("sites.db") + suffix)).c_str(), 0444);
  }
  chmod(folder.c_str(), 0555);
}

TEST_F(SitesTest, AHealthyDatabaseInAFolderThisUserMayNotWriteIsReadWholeAndWritesAreRefusedAsReadOnly) {
  const std::string source = Path(u8"исходная.db");
  const std::string file = PanelFile("760001", "+79001112233");
  TSiteStore writer(source);
  const TSite site = writer.CreateSite({0, "", "Склад №3", "ИП Сидоров", "Промзона"});
  writer.FileSnapshot(file, "read", site.id, "2026-11-05T10:00:00.000Z");
  writer.Database().Exec("PRAGMA wal_checkpoint(TRUNCATE)");
  const std::string checkpointed = dir.string() + "/whole";
  CopyInto(checkpointed, source, {""});
  // Still open, so its last edit is in the -wal alone.
  TSite edited = *writer.Site(site.id);
  edited.changed.clear();
  edited.address = "Заводская, 1";
  writer.UpdateSite(edited);
  const std::string withShm = dir.string() + "/with-shm", walOnly = dir.string() + "/wal-only";
  CopyInto(withShm, source, {"", "-wal", "-shm"});
  CopyInto(walOnly, source, {"", "-wal"});
  fs::permissions(dir, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec | fs::perms::others_read |
                           fs::perms::others_exec);
  fs::permissions(dir.parent_path(), fs::perms::others_read | fs::perms::others_exec, fs::perm_options::add);

  struct TCase {
    std::string folder, address;
    bool warned;
  };
  for (const TCase& c : {TCase{checkpointed, "Промзона", false}, TCase{withShm, "Заводская, 1", false},
                         TCase{walOnly, "Промзона", true}}) {
    const int failed = AsAnotherUser([&] {
      TSiteStore store(c.folder + "/sites.db");  // as the window opens it
      if (!store.ReadOnly()) return 1;
      const std::vector<TSite> all = store.Sites();
      if (all.size() != 1 || all[0].name != "Склад №3") return 2;
      if (all[0].address != c.address) return 3;
      const auto snapshots = store.Snapshots(all[0].id);
      if (snapshots.size() != 1 || snapshots[0].content != file) return 4;
      if ((store.Warning().find("-wal") != std::string::npos) != c.warned) return 5;
      try {
        store.CreateSite({0, "", "Новый"});
        return 6;
      } catch (const SitesReadOnly& e) {
        if (std::string(e.what()).find("только для чтения") == std::string::npos) return 7;
      }
      TStoreOptions readOnly;
      readOnly.readOnly = true;
      TSiteStore listing(c.folder + "/sites.db", readOnly);  // as `sites list` opens it
      return listing.Sites().size() == 1 ? 0 : 8;
    });
    EXPECT_EQ(failed, 0) << c.folder;
    // Nothing was made beside it, and the file is as it was.
    EXPECT_FALSE(fs::exists(c.folder + "/sites.db.backups")) << c.folder;
    chmod(c.folder.c_str(), 0755);
  }
}

}  // namespace
}  // namespace zarvex::sites::test
