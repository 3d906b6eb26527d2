#include <sys/vfs.h>

#include <cstdint>

#include "sites/folder_kind.h"

namespace zarvex::sites {

namespace {

bool NetworkFilesystem(int64_t type) {
  switch (static_cast<uint32_t>(type)) {
    case 0x6969:      // NFS
    case 0x517B:      // SMB
    case 0xFF534D42:  // CIFS
    case 0xFE534D42:  // SMB2
    case 0x65735546:  // FUSE (sshfs, rclone, cloud clients)
    case 0x73757245:  // Coda
    case 0x5346414F:  // AFS
    case 0x01021997:  // 9P
    case 0x00C36400:  // Ceph
    case 0x47504653:  // GPFS
    case 0x0BD00BD0:  // Lustre
      return true;
    default:
      return false;
  }
}

}  // namespace

TFolderKind FolderKindOf(const std::string& path) {
  struct statfs fs {};
  std::string probe = path;
  while (statfs(probe.c_str(), &fs) != 0) {
    const size_t slash = probe.find_last_of('/');
    if (slash == std::string::npos) {
      probe = ".";
      if (statfs(probe.c_str(), &fs) != 0) return InSyncedFolder(path) ? TFolderKind::Synced : TFolderKind::Local;
      break;
    }
    probe = slash == 0 ? "/" : probe.substr(0, slash);
  }
  if (NetworkFilesystem(static_cast<int64_t>(fs.f_type))) return TFolderKind::Network;
  return InSyncedFolder(path) ? TFolderKind::Synced : TFolderKind::Local;
}

}  // namespace zarvex::sites
