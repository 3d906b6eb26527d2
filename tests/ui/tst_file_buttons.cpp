// The save and load buttons, their dialogs, and failing loads and saves at
// start-up, on the buttons and on close.
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

#include "form_fixture.h"

class FileButtonsTest : public zarvex::testing::FormFixture {
  Q_OBJECT

  void ClickSave() { QTest::mouseClick(W<QPushButton>("Button3"), Qt::LeftButton); }
  void ClickLoad() { QTest::mouseClick(W<QPushButton>("ButtonLoad"), Qt::LeftButton); }

 private slots:
  void saveWithFileNameWritesThatFileWithoutDialog() {
    MakeForm();
    W<QLineEdit>("EditFileName")->setText("copy.cfg");
    W<QLineEdit>("EditPhone3")->setText("+79001112233");
    ClickSave();
    QVERIFY(modal.dialogTitles.isEmpty());
    QVERIFY(modal.messages.isEmpty());
    const QList<QByteArray> lines = ReadFile("copy.cfg").split('\n');
    QCOMPARE(lines.size(), 62);
    QCOMPARE(lines[5], "+79001112233\r");  // collected before saving
    QVERIFY(!QFile::exists("zarvex.cfg"));
  }

  void saveWithEmptyNameAsksThroughTheDialog() {
    MakeForm();
    W<QLineEdit>("EditFileName")->clear();
    ClickSave();  // cancelled
    QCOMPARE(modal.dialogTitles, QStringList{QString::fromUtf8("Сохранить конфигурацию")});
    QCOMPARE(W<QLineEdit>("EditFileName")->text(), "");
    QCOMPARE(QDir::current().entryList(QDir::Files), QStringList());

    const QString chosen = Path("chosen.cfg");
    modal.nextFileNames.enqueue(chosen);
    ClickSave();
    QCOMPARE(W<QLineEdit>("EditFileName")->text(), chosen);
    QVERIFY(QFile::exists(chosen));
    QCOMPARE(modal.dialogTitles.size(), 2);
  }

  void loadShowsTheChosenFileAndItsVersionGatesTheCommands() {
    MakeForm();
    W<QLineEdit>("EditFileName")->setText("other.cfg");
    W<QLineEdit>("EditIn1Name")->setText("Front door");
    Form().Cfg().FirmwareVersion = 520;
    ClickSave();
    W<QLineEdit>("EditIn1Name")->setText("changed");
    Form().Cfg().FirmwareVersion = 0;

    const QString chosen = Path("other.cfg");
    modal.nextFileNames.enqueue(chosen);
    ClickLoad();
    QCOMPARE(modal.dialogTitles, QStringList{QString::fromUtf8("Загрузить конфигурацию")});
    QCOMPARE(W<QLineEdit>("EditFileName")->text(), chosen);
    QCOMPARE(W<QLineEdit>("EditIn1Name")->text(), "Front door");
    QCOMPARE(Form().Cfg().FirmwareVersion, 520);
    QVERIFY(modal.messages.isEmpty());
  }

  void closingAfterLoadingAnotherFileStillWritesZarvexCfg() {
    MakeForm();
    W<QLineEdit>("EditFileName")->setText("copy.cfg");
    ClickSave();
    modal.nextFileNames.enqueue(Path("copy.cfg"));
    ClickLoad();
    W<QLineEdit>("EditIn2Name")->setText("Hall");
    QVERIFY(Form().close());
    QVERIFY(ReadFile("zarvex.cfg").contains("\r\nHall\r\n"));
    QVERIFY(!ReadFile("copy.cfg").contains("Hall"));
  }

  void failingLoadShowsTheErrorAndKeepsWindowAndRecord() {
    MakeForm();
    W<QLineEdit>("EditIn1Name")->setText("kept");
    const zarvex::TCFG before = Form().Cfg();
    modal.nextFileNames.enqueue(Path("missing.cfg"));
    ClickLoad();
    QCOMPARE(modal.messages.size(), 1);
    QVERIFY(!modal.messages[0].isEmpty());
    QCOMPARE(W<QLineEdit>("EditIn1Name")->text(), "kept");
    QVERIFY(Form().Cfg() == before);
    QCOMPARE(W<QLineEdit>("EditFileName")->text(), Path("missing.cfg"));
  }

  void failingSaveShowsTheError() {
    MakeForm();
    W<QLineEdit>("EditFileName")->setText("no/such/dir/copy.cfg");
    ClickSave();
    QCOMPARE(modal.messages.size(), 1);
    QVERIFY(!modal.messages[0].isEmpty());
  }

  void failingLoadAtStartUpOpensTheWindowAllTheSame() {
    WriteFile("zarvex.cfg", QByteArray(2 * 1024 * 1024, '1'));  // too large to be ours
    MakeForm();
    QCOMPARE(modal.messages.size(), 1);
    QCOMPARE(W<QLineEdit>("EditIn1Name")->text(), "Alarm Input1");
  }

  void aDirectoryNamedZarvexCfgIsNoSettingsFile() {
    QVERIFY(QDir().mkdir("zarvex.cfg"));
    MakeForm();
    QVERIFY(modal.messages.isEmpty());
    QCOMPARE(Form().Cfg().ArmDelay, 301);  // the design values were collected
  }

  void failingSaveOnCloseAsksWhetherToCloseWithoutSaving() {
    QVERIFY(QDir().mkdir("zarvex.cfg"));  // cannot be replaced by a file
    MakeForm();
    const QString question =
        QString::fromUtf8("Не удалось сохранить zarvex.cfg. Закрыть программу без сохранения?");
    QVERIFY(!Form().close());  // the script answers No: the window stays
    QCOMPARE(modal.messages.size(), 1);
    QCOMPARE(modal.questions, QStringList{question});
    modal.nextAnswers.enqueue(true);
    QVERIFY(Form().close());
    QCOMPARE(modal.messages.size(), 2);  // the save was tried once more
  }
};

QTEST_MAIN(FileButtonsTest)
#include "tst_file_buttons.moc"
