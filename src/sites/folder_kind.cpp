#include "sites/folder_kind.h"

#include "sites/search_text.h"

namespace zarvex::sites {

bool InSyncedFolder(const std::string& path) {
  static const char* const kClients[] = {"onedrive", "dropbox", "google drive", "googledrive", "yandex.disk",
                                         "яндекс.диск", "nextcloud", "owncloud", "icloud drive", "mega"};
  std::string folded = FoldForSearch(path);
  for (char& c : folded) {
    if (c == '\\') c = '/';
  }
  for (const char* client : kClients) {
    const std::string name = client;
    for (size_t at = folded.find(name); at != std::string::npos; at = folded.find(name, at + 1)) {
      // A whole folder name, or one that starts with it ("OneDrive - Компания").
      const bool starts = at == 0 || folded[at - 1] == '/';
      const char after = at + name.size() < folded.size() ? folded[at + name.size()] : '/';
      if (starts && (after == '/' || after == ' ' || after == '-' || after == '_')) return true;
    }
  }
  return false;
}

std::string FolderWarning(TFolderKind kind, const std::string& path) {
  switch (kind) {
    case TFolderKind::Local: return {};
    case TFolderKind::Network:
      return "База объектов " + path +
             " лежит в сетевой папке: она ведётся без WAL (с обычным журналом), медленнее; надёжнее держать её "
             "на этом компьютере (--db или переменная ZARVEX_SITES_DB).";
    case TFolderKind::Synced:
      return "База объектов " + path +
             " лежит в синхронизируемой папке: она ведётся без WAL, чтобы облако не разнесло её по частям; "
             "надёжнее держать её вне такой папки.";
  }
  return {};
}

}  // namespace zarvex::sites
