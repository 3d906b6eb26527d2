// The scripted session's verdict must not say "passed" when something went
// wrong, its waits must keep the event loop running, and it must never block
// on a dialog.
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "demo/session_checks.h"
#include "demo/session_modal_ui.h"
#include "demo/session_screenshots.h"
#include "demo/session_wait.h"

using zarvex::demo::SessionChecks;
using zarvex::demo::SessionModalUi;
using zarvex::demo::SessionScreenshots;
using zarvex::demo::SessionStopped;
using zarvex::demo::WaitFor;

class SessionSupportTest : public QObject {
  Q_OBJECT

 private slots:
  void waitSeesWhatTheEventLoopDelivers() {
    bool arrived = false;
    QTimer::singleShot(0, [&] { arrived = true; });
    QVERIFY(WaitFor([&] { return arrived; }, 5000));
  }

  void waitGivesUpOnWhatNeverComes() {
    // The loop still runs while waiting in vain.
    int calls = 0;
    QTimer::singleShot(0, [&] { ++calls; });
    QVERIFY(!WaitFor([] { return false; }, 50));
    QCOMPARE(calls, 1);
  }

  void oneFailedCheckFailsTheSessionWhateverPassesAfterIt() {
    SessionChecks checks;
    checks.Check(true, QStringLiteral("first"));
    checks.Equal(QStringLiteral("got"), QStringLiteral("wanted"), QStringLiteral("second"));
    checks.Equal(3, 3, QStringLiteral("third"));
    QCOMPARE(checks.Passed(), 2);
    QCOMPARE(checks.Failed(), 1);
    QCOMPARE(checks.ExitCode(), SessionChecks::kCheckFailed);
  }

  void allPassedIsZero() {
    SessionChecks checks;
    checks.Equal(QStringLiteral("x"), QStringLiteral("x"), QStringLiteral("same"));
    QCOMPARE(checks.ExitCode(), SessionChecks::kAllPassed);
  }

  void aTimeOutStopsTheSessionWithItsOwnCode() {
    SessionChecks checks;
    QVERIFY_THROWS_EXCEPTION(SessionStopped,
                             checks.TimedOut(QStringLiteral("the read"), 10, QStringLiteral("bar at 3")));
    QVERIFY(checks.Stopped());
    QCOMPARE(checks.Failed(), 1);
    QCOMPARE(checks.ExitCode(), SessionChecks::kStopped);
  }

  void dialogsNeverBlockAndMessagesAreKept() {
    SessionModalUi modal;
    modal.ShowMessage(nullptr, QStringLiteral("Код сохранен"));
    modal.ShowMessage(nullptr, QStringLiteral("Код(ы) удален(ы)"));
    modal.ShowMessage(nullptr, QStringLiteral("Код сохранен"));
    QCOMPARE(modal.CountOf(QStringLiteral("Код сохранен")), 2);
    QVERIFY(!modal.AskYesNo(nullptr, QStringLiteral("Закрыть?")));
    QCOMPARE(modal.Questions(), QStringList{QStringLiteral("Закрыть?")});
    QVERIFY(modal.SaveFileName(nullptr, QStringLiteral("t"), QStringLiteral("a.cfg")).isEmpty());
    QVERIFY(modal.OpenFileName(nullptr, QStringLiteral("t"), QStringLiteral("a.cfg")).isEmpty());
  }

  void screenshotsOfBothWindowsAreNamedByStep() {
    QTemporaryDir dir;
    QLabel configurator(QStringLiteral("configurator"));
    QLabel simulator(QStringLiteral("simulator"));
    const QString shots = dir.filePath(QStringLiteral("shots"));
    SessionScreenshots screenshots(shots, configurator, simulator);
    QString error;
    QVERIFY(screenshots.Prepare(error));
    QVERIFY2(screenshots.Take(4, QStringLiteral("keys"), error), qPrintable(error));
    QVERIFY(QFile::exists(shots + QStringLiteral("/04-keys-configurator.png")));
    QVERIFY(QFile::exists(shots + QStringLiteral("/04-keys-simulator.png")));
  }

  void aScreenshotThatCannotBeSavedIsReported() {
    QTemporaryDir dir;
    // A file where the directory should be.
    const QString blocked = dir.filePath(QStringLiteral("blocked"));
    QFile file(blocked);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QLabel window(QStringLiteral("w"));
    SessionScreenshots screenshots(blocked, window, window);
    QString error;
    QVERIFY(!screenshots.Prepare(error));
    QVERIFY(!screenshots.Take(1, QStringLiteral("plug"), error));
    QVERIFY(error.contains(QStringLiteral("01-plug-configurator.png")));
  }
};

QTEST_MAIN(SessionSupportTest)
#include "session_support_test.moc"
