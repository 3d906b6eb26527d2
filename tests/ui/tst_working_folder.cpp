// Where the window keeps zarvex.cfg when started from a folder it cannot
// use: a read-only one, or (on Windows) its own install folder.
#include <QDir>
#include <QTemporaryDir>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QtTest>

#include "ui/working_folder.h"

namespace zarvex {

class TstWorkingFolder : public QObject {
  Q_OBJECT

 private slots:
  void aWritableStartFolderIsKept() {
    const TWorkingFolderFacts facts{QStringLiteral("/home/ivanov/объекты"), QStringLiteral("/opt/zarvex"),
                                    true, QStringLiteral("/home/ivanov/Документы"), true};
    QCOMPARE(ChooseWorkingFolder(facts), facts.current);
  }

  void aFolderThatCannotBeWrittenGivesWayToDocuments() {
    const TWorkingFolderFacts facts{QStringLiteral("C:/Windows/System32"), QStringLiteral("C:/Program Files/Zarvex Settings"),
                                    false, QStringLiteral("C:/Users/Иванов/OneDrive/Документы"), true};
    QCOMPARE(ChooseWorkingFolder(facts), facts.documents);
  }

  void theInstallFolderGivesWayToDocumentsOnlyWhereProgramsAreInstalledApart() {
    QTemporaryDir install;
    TWorkingFolderFacts facts{install.path(), install.path() + QStringLiteral("/."), true,
                              QStringLiteral("/home/ivanov/Documents"), true};
    // Started by the Start-menu entry or a double-click in Program Files.
    QCOMPARE(ChooseWorkingFolder(facts), ProgramFolderHoldsNoUserFiles() ? facts.documents : facts.current);
    if (FolderNamesIgnoreCase()) {
      facts.programFolder = install.path().toUpper();
      QCOMPARE(ChooseWorkingFolder(facts), facts.documents);
    }
  }

  void withoutUsableDocumentsTheStartFolderStays() {
    TWorkingFolderFacts facts{QStringLiteral("/mnt/ro"), QStringLiteral("/opt/zarvex"), false, QString(), true};
    QCOMPARE(ChooseWorkingFolder(facts), facts.current);
    facts.documents = QStringLiteral("/home/ivanov/Documents");
    facts.documentsUsable = false;
    QCOMPARE(ChooseWorkingFolder(facts), facts.current);
  }

  void settlingMovesARunOutOfAFolderItCannotWrite() {
    QTemporaryDir home;
    const QString readOnly = home.path() + QStringLiteral("/ro");
    QVERIFY(QDir().mkpath(readOnly));
    QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::ExeOwner);
    QTemporaryFile probe(readOnly + QStringLiteral("/x-XXXXXX"));
    if (probe.open()) QSKIP("this user writes into read-only folders (root)");
    const QString before = QDir::currentPath();
    QDir::setCurrent(readOnly);
    const QString settled = SettleWorkingFolder();
    QDir::setCurrent(before);
    QVERIFY(!SameFolder(settled, readOnly));
    QCOMPARE(settled, QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)).absolutePath());
  }
};

}  // namespace zarvex

QTEST_GUILESS_MAIN(zarvex::TstWorkingFolder)
#include "tst_working_folder.moc"
