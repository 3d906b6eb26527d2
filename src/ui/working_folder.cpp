#include "ui/working_folder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace zarvex {

namespace {

// A real write, since permission bits and ACLs tell only part of it (a
// folder under Program Files looks writable to Qt on NTFS).
bool CanCreateFilesIn(const QString& folder) {
  QTemporaryFile probe(QDir(folder).filePath(QStringLiteral("zarvex-probe-XXXXXX.tmp")));
  return probe.open();
}

}  // namespace

QString ChooseWorkingFolder(const TWorkingFolderFacts& facts) {
  const bool installFolder =
      ProgramFolderHoldsNoUserFiles() && SameFolder(facts.current, facts.programFolder);
  if (facts.currentWritable && !installFolder) return facts.current;
  if (facts.documents.isEmpty() || !facts.documentsUsable) return facts.current;
  return facts.documents;
}

QString SettleWorkingFolder() {
  TWorkingFolderFacts facts;
  facts.current = QDir::currentPath();
  facts.programFolder = QCoreApplication::applicationDirPath();
  facts.currentWritable = CanCreateFilesIn(facts.current);
  facts.documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  facts.documentsUsable = !facts.documents.isEmpty() && QDir().mkpath(facts.documents) &&
                          CanCreateFilesIn(facts.documents);
  const QString chosen = ChooseWorkingFolder(facts);
  if (!SameFolder(chosen, facts.current)) QDir::setCurrent(chosen);
  return QDir::currentPath();
}

bool SameFolder(const QString& a, const QString& b) {
  const auto canonical = [](const QString& path) {
    const QString resolved = QFileInfo(path).canonicalFilePath();
    return QDir::cleanPath(resolved.isEmpty() ? QFileInfo(path).absoluteFilePath() : resolved);
  };
  const Qt::CaseSensitivity cs = FolderNamesIgnoreCase() ? Qt::CaseInsensitive : Qt::CaseSensitive;
  return QString::compare(canonical(a), canonical(b), cs) == 0;
}

}  // namespace zarvex
