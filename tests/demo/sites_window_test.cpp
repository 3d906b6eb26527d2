// Site records in the program's window over the whole stack and the
// simulated panel: nothing is asked until a site exists; then a read is
// proposed for the site whose panel matches, and what follows the read is
// filed with it; «Объекты» searches as the installer types and loads a
// snapshot back; a damaged database is told, the window goes on, and its
// newest healthy copy is offered.

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <memory>

#include "../ui/scripted_modal_ui.h"
#include "demo/session_wait.h"
#include "settings/settings_format.h"
#include "sites/rolling_backups.h"
#include "sites/sqlite_db.h"
#include "sites/utc_time.h"
#include "ui/filing_prompt.h"
#include "ui/sites_dialog.h"
#include "ui/tmain_window.h"
#include "window_stack.h"

using namespace zarvex;

class SitesWindowTest : public QObject, testing::WindowStack {
  Q_OBJECT

  QString History() { return dir.filePath(QStringLiteral("history")); }
  void Read() {
    form->ButtonReadClick();
    QVERIFY(demo::WaitFor([&] { return form->TransferText() == QStringLiteral("Конфигурация прочитана"); }, 10000));
  }
  TFilingPrompt* Prompt() { return window->findChild<TFilingPrompt*>(QStringLiteral("FilingPrompt")); }

 private slots:
  void init() {
    QVERIFY(Start());
    window = std::make_unique<TMainWindow>(*form, History());
    QVERIFY(window->Sites());
    panel->Plug(sim::PanelKind::First);
    // The panel's own numbers: the server's (parameter 2) and the check phone (9).
    panel->WithModel([](sim::PanelModel& m) {
      m.Configuration().SetText(2, "+79005550001");
      m.Configuration().SetText(9, "+79005550002");
    });
    QVERIFY(demo::WaitFor([&] { return form->Cfg().FirmwareVersion == 430; }, 5000));
  }
  void cleanup() {
    window.reset();
    Stop();
    QDir(History()).removeRecursively();
    for (const char* suffix : {"", "-wal", "-shm"}) QFile::remove(dir.filePath(QStringLiteral("sites.db") + suffix));
    QDir(dir.filePath(QStringLiteral("sites.db.backups"))).removeRecursively();
    for (const QString& kept : QDir(dir.path()).entryList({QStringLiteral("sites.db.damaged-*")})) QFile::remove(dir.filePath(kept));
  }

  void aReadIsProposedForTheSiteWhosePanelMatchesAndWhatFollowsItIsFiledThere() {
    sites::TSiteStore& store = *window->Sites();
    Read();
    QVERIFY(!Prompt());  // no site yet: nothing asked, the read kept unfiled
    QCOMPARE(store.Unfiled().size(), size_t{1});

    const sites::TSite shop = store.CreateSite({0, "", "Склад №3", "ИП Сидоров"});
    Read();
    TFilingPrompt* prompt = Prompt();
    QVERIFY(prompt);
    QVERIFY(prompt->isVisible());
    QVERIFY(!prompt->isModal());
    QVERIFY(prompt->findChild<QLabel*>(QStringLiteral("LabelFilingText"))->text().contains(QStringLiteral("не найдена")));
    prompt->Choice()->setCurrentIndex(prompt->Choice()->findData(QVariant::fromValue<qlonglong>(shop.id)));
    prompt->findChild<QPushButton*>(QStringLiteral("ButtonFilingConfirm"))->click();
    QCOMPARE(window->CurrentSite(), std::optional<int64_t>(shop.id));
    QCOMPARE(store.Snapshots(shop.id).size(), size_t{1});
    QCOMPARE(store.Panels(shop.id).size(), size_t{1});

    // The same panel read again: its site proposed, and one click files it.
    QVERIFY(demo::WaitFor([&] { return !Prompt(); }, 2000));
    Read();
    prompt = Prompt();
    QVERIFY(prompt);
    QVERIFY(prompt->findChild<QLabel*>(QStringLiteral("LabelFilingText"))->text().contains(QStringLiteral("«Склад №3»")));
    QCOMPARE(prompt->Choice()->currentText(), SiteChoiceText(shop));
    // The proposal blocks nothing: a write runs while it is open.
    form->ButtonWriteClick();
    QVERIFY(demo::WaitFor([&] { return form->TransferText() == QStringLiteral("Конфигурация записана"); }, 10000));
    prompt->findChild<QPushButton*>(QStringLiteral("ButtonFilingConfirm"))->click();
    // The second read, and the write made while the prompt was open goes with it.
    QCOMPARE(store.Snapshots(shop.id).size(), size_t{3});
    QCOMPARE(store.Snapshots(shop.id)[0].kind, std::string("written"));
    // The write after a filed read goes with it, once it has ended.
    form->ButtonWriteClick();
    QVERIFY(demo::WaitFor([&] { return store.Snapshots(shop.id).size() == 4; }, 10000));
    QCOMPARE(store.Snapshots(shop.id)[0].kind, std::string("written"));
  }

  // What is filed is what happened: a write cut short is filed as cut, and
  // once the panel is unplugged nothing more goes under its site.
  void aCutWriteIsFiledAsCutAndAnUnplugEndsTheSite() {
    sites::TSiteStore& store = *window->Sites();
    const sites::TSite shop = store.CreateSite({0, "", "Склад"});
    Read();
    QVERIFY(Prompt());
    Prompt()->Choice()->setCurrentIndex(Prompt()->Choice()->findData(QVariant::fromValue<qlonglong>(shop.id)));
    Prompt()->findChild<QPushButton*>(QStringLiteral("ButtonFilingConfirm"))->click();
    QCOMPARE(window->CurrentSite(), std::optional<int64_t>(shop.id));
    panel->UnplugAfterRequests(10);
    form->ButtonWriteClick();
    QVERIFY(demo::WaitFor([&] { return store.Snapshots(shop.id).size() == 2; }, 10000));
    QCOMPARE(store.Snapshots(shop.id)[0].kind, std::string("written-cut"));
    QVERIFY(demo::WaitFor([&] { return !window->CurrentSite(); }, 5000));
    panel->Replug();
    QVERIFY(demo::WaitFor([&] { return connection->Link().PanelHeld(); }, 5000));
    form->ButtonWriteClick();
    QVERIFY(demo::WaitFor([&] { return form->TransferText() == QStringLiteral("Конфигурация записана"); }, 10000));
    QCOMPARE(store.Snapshots(shop.id).size(), size_t{2});  // the other panel's write is not this site's
    QCOMPARE(store.Unfiled()[0].kind, std::string("written"));
  }

  void aPanelMatchingNoSiteAsksOnceARun() {
    window->Sites()->CreateSite({0, "", "Дача"});
    Read();
    QVERIFY(Prompt());
    Prompt()->findChild<QPushButton*>(QStringLiteral("ButtonFilingLater"))->click();
    QVERIFY(demo::WaitFor([&] { return !Prompt(); }, 2000));
    Read();
    QVERIFY(!Prompt());
    QCOMPARE(window->Sites()->Unfiled().size(), size_t{2});  // kept all the same
  }

  void theSitesDialogSearchesAsTheInstallerTypesAndLoadsASnapshotIntoTheWindow() {
    sites::TSiteStore& store = *window->Sites();
    const sites::TSite garage = store.CreateSite({0, "", "Гараж Ёлкина", "", "СНТ Берёзка"});
    store.CreateSite({0, "", "Магазин", "", "ул. Мира, 1"});
    TCFG stored = form->Cfg();
    stored.AccessPoint = "garage.apn";
    store.FileSnapshot(FormatSettings(stored), "read", garage.id, "2026-12-01T10:00:00.000Z");

    TSitesDialog dialog(*window, store);
    dialog.show();
    QCOMPARE(dialog.SiteList()->count(), 3);  // "Без объекта" and the two
    for (const QChar c : QStringLiteral("БЕРЕЗ")) dialog.Search()->insert(QString(c));  // typed, letter by letter
    QCOMPARE(dialog.SiteList()->count(), 1);
    QCOMPARE(dialog.Shown(), std::optional<int64_t>(garage.id));
    QCOMPARE(dialog.SnapshotTable()->rowCount(), 1);
    QCOMPARE(dialog.SnapshotTable()->item(0, 1)->text(), QStringLiteral("чтение"));
    dialog.findChild<QPushButton*>(QStringLiteral("ButtonSnapshotLoad"))->click();
    QCOMPARE(form->CollectedCopy().AccessPoint, std::string("garage.apn"));

    dialog.findChild<QLineEdit*>(QStringLiteral("EditSiteCustomer"))->setText(QStringLiteral("Ёлкин П. С."));
    dialog.findChild<QPushButton*>(QStringLiteral("ButtonSaveSite"))->click();
    QCOMPARE(store.Site(garage.id)->customer, std::string("Ёлкин П. С."));
    dialog.Search()->clear();
    QCOMPARE(dialog.SiteList()->count(), 3);
  }

  void theSiteListShowsEverySiteFetchingMoreAsItIsScrolledAndKeepsTheOneOnThePage() {
    sites::TSiteStore& store = *window->Sites();
    const int count = 2 * TSitesDialog::kSitePage + 50;
    std::optional<int64_t> last;
    for (int i = 0; i < count; ++i) last = store.CreateSite({0, "", "Объект " + std::to_string(1000 + i)}).id;
    TSitesDialog dialog(*window, store);
    dialog.show();
    QListWidget* list = dialog.SiteList();
    QCOMPARE(list->count(), 1 + TSitesDialog::kSitePage);
    for (int page = 0; page < 3; ++page) {
      list->scrollToBottom();
      QCoreApplication::processEvents();
    }
    QCOMPARE(list->count(), 1 + count);  // all of them, and no more
    list->setCurrentRow(list->count() - 1);
    QCOMPARE(dialog.Shown(), last);
    dialog.Refresh();  // as after a save: the site far down stays chosen
    QCOMPARE(dialog.Shown(), last);
    QCOMPARE(list->currentItem()->text(), QStringLiteral("Объект %1").arg(1000 + count - 1));
  }

  void whileAnotherProgramHoldsTheDatabaseTheWindowWaitsOnNothingAndFilesWhenItLetsGo() {
    const std::string path = dir.filePath(QStringLiteral("sites.db")).toStdString();
    window.reset();
    QFile::remove(QString::fromStdString(path));
    auto holder = std::make_unique<sites::TDatabase>(path, sites::TDatabase::Mode::OpenOrCreate);
    holder->Exec("BEGIN IMMEDIATE");  // another program's long write, on a database not made yet
    window = std::make_unique<TMainWindow>(*form, History());
    QVERIFY(!window->Sites());  // not waited for: the window is up
    QVERIFY(window->SitesProblem().contains(QStringLiteral("занята")));
    Read();
    QCOMPARE(window->QueuedFilings(), size_t{1});
    holder->Exec("ROLLBACK");
    QVERIFY(demo::WaitFor([&] { return window->Sites() && window->QueuedFilings() == 0; }, 5000));
    QCOMPARE(window->Sites()->Unfiled().size(), size_t{1});

    // Held again once it is open: the filing waits its turn, with its own time.
    holder->Exec("BEGIN IMMEDIATE");
    const std::string before = sites::NowUtc();
    Read();
    QCOMPARE(window->QueuedFilings(), size_t{1});
    QTest::qWait(1500);
    holder->Exec("ROLLBACK");
    QVERIFY(demo::WaitFor([&] { return window->QueuedFilings() == 0; }, 5000));
    const auto unfiled = window->Sites()->Unfiled();
    QCOMPARE(unfiled.size(), size_t{2});
    QVERIFY(unfiled[0].taken >= before);
    QVERIFY(unfiled[0].taken < sites::NowUtc().substr(0, 19));  // not the time it got in
    holder.reset();
  }

  // «Сохранить объект» while another program writes: no box and no wait,
  // the save is made once the database is free, the typing since stays;
  // closing with a save still waiting asks before it is given up.
  void aSaveThatMeetsAnotherProgramsWriteWaitsItsTurnAndIsNotLostOnClose() {
    sites::TSiteStore& store = *window->Sites();
    const sites::TSite shop = store.CreateSite({0, "", "Склад", "", "ул. Старая, 1"});
    TSitesDialog dialog(*window, store);
    dialog.show();
    dialog.SiteList()->setCurrentRow(1);
    QCOMPARE(dialog.Shown(), std::optional<int64_t>(shop.id));
    auto holder = std::make_unique<sites::TDatabase>(dir.filePath(QStringLiteral("sites.db")).toStdString(),
                                                     sites::TDatabase::Mode::OpenOrCreate);
    holder->Exec("BEGIN IMMEDIATE");
    // A box would hold the test in its own loop: any that opens is a failure.
    QStringList boxes;
    QTimer watch;
    connect(&watch, &QTimer::timeout, [&] {
      if (QWidget* box = QApplication::activeModalWidget()) {
        boxes << box->objectName();
        box->close();
      }
    });
    watch.start(20);
    auto* address = dialog.findChild<QLineEdit*>(QStringLiteral("EditSiteAddress"));
    auto* notes = dialog.findChild<QPlainTextEdit*>(QStringLiteral("EditSiteNotes"));
    auto* busy = dialog.findChild<QLabel*>(QStringLiteral("LabelSitesBusy"));
    address->setText(QStringLiteral("ул. Новая, 2"));
    QElapsedTimer clicked;
    clicked.start();
    dialog.findChild<QPushButton*>(QStringLiteral("ButtonSaveSite"))->click();
    // The window's own short wait, far from the store's ordinary 10 s.
    QVERIFY(clicked.elapsed() < 5000);
    QVERIFY(dialog.SaveWaiting());
    QVERIFY(busy->isVisible());
    QVERIFY(busy->text().contains(QStringLiteral("будет сохранён")));
    notes->setPlainText(QStringLiteral("ключ у охраны"));  // typed while it waits
    QTest::qWait(600);
    QVERIFY(dialog.SaveWaiting());
    holder->Exec("ROLLBACK");
    QVERIFY(demo::WaitFor([&] { return !dialog.SaveWaiting(); }, 5000));
    QCOMPARE(store.Site(shop.id)->address, std::string("ул. Новая, 2"));
    QCOMPARE(store.Site(shop.id)->notes, std::string());
    QCOMPARE(notes->toPlainText(), QStringLiteral("ключ у охраны"));
    QVERIFY(!busy->isVisible());
    QVERIFY(boxes.isEmpty());

    // Held again and the dialog closed: it asks, and «Нет» keeps it open, waiting.
    holder->Exec("BEGIN IMMEDIATE");
    watch.stop();
    dialog.findChild<QPushButton*>(QStringLiteral("ButtonSaveSite"))->click();
    QVERIFY(dialog.SaveWaiting());
    QString asked;
    const auto answer = [&](QMessageBox::StandardButton button) {
      QTimer::singleShot(50, [&asked, button] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        asked = box->text();
        box->button(button)->click();
      });
    };
    answer(QMessageBox::No);
    dialog.findChild<QPushButton*>(QStringLiteral("ButtonSitesClose"))->click();
    QVERIFY(asked.contains(QStringLiteral("ещё не сохранён")));
    QVERIFY(dialog.isVisible());
    QVERIFY(dialog.SaveWaiting());
    watch.start(20);
    holder->Exec("ROLLBACK");
    QVERIFY(demo::WaitFor([&] { return !dialog.SaveWaiting(); }, 5000));
    QCOMPARE(store.Site(shop.id)->notes, std::string("ключ у охраны"));
    QVERIFY(boxes.isEmpty());  // the late save edited what the first one saved: nothing to ask
    holder.reset();
  }

  void aDamagedDatabaseIsToldLeftAsItIsAndTheWindowGoesOnWithoutSites() {
    window.reset();
    const QByteArray garbage("no database in here, and none may be made of it");
    {
      QFile file(dir.filePath(QStringLiteral("sites.db")));
      QVERIFY(file.open(QIODevice::WriteOnly));
      file.write(garbage);
    }
    window = std::make_unique<TMainWindow>(*form, History());
    QVERIFY(!window->Sites());
    QVERIFY(window->SitesProblem().contains(QStringLiteral("повреждён")));
    Read();  // the panel's work is untouched
    QFile file(dir.filePath(QStringLiteral("sites.db")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), garbage);
  }

  void aDatabaseFoundDamagedAtItsFirstWriteIsPutBackFromItsCopyWhenTheInstallerAgrees() {
    const std::string path = dir.filePath(QStringLiteral("sites.db")).toStdString();
    window->Sites()->CreateSite({0, "", "Банк"});  // the day's copy is taken before this
    for (int i = 0; i < 300; ++i) window->Sites()->CreateSite({0, "", "Объект " + std::to_string(i)});
    window.reset();
    // Yesterday's copy held the bank; today a page of the file is gone.
    for (const std::string& old : sites::Backups(path)) QFile::remove(QString::fromStdString(old));
    {
      sites::TSiteStore store(path);
      store.CreateSite({0, "", "Склад"});
    }
    {
      QFile file(QString::fromStdString(path));
      QVERIFY(file.open(QIODevice::ReadWrite));
      QVERIFY(file.seek(4096 * 5));
      file.write(QByteArray(4096, '\x55'));
    }
    form->SetModalUi(modal);
    window = std::make_unique<TMainWindow>(*form, History());
    Read();  // filing finds it damaged: told, never written
    QVERIFY(!window->Sites());
    QVERIFY(window->SitesProblem().contains(QStringLiteral("поврежден")));
    QVERIFY(!window->OfferSitesBackup());  // «Нет»: nothing changes
    QCOMPARE(modal.questions.size(), 1);
    modal.nextAnswers.enqueue(true);
    QVERIFY(window->OfferSitesBackup());
    QCOMPARE(window->Sites()->SitesNamed("Банк").size(), size_t{1});
    const QStringList kept = QDir(dir.path()).entryList({QStringLiteral("sites.db.damaged-*")});
    QCOMPARE(kept.size(), 1);
  }

 private:
  testing::ScriptedModalUi modal;
  std::unique_ptr<TMainWindow> window;
};

QTEST_MAIN(SitesWindowTest)
#include "sites_window_test.moc"
