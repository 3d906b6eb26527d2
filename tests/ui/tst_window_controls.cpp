// Typing limits, combo boxes, radio groups, the log memo, the progress bar and
// the key grid as an installer meets them.
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRegularExpression>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableWidget>

#include "form_fixture.h"
#include "ui/qt_translations.h"

class WindowControlsTest : public zarvex::testing::FormFixture {
  Q_OBJECT

 private slots:
  void typingStopsAtEachLimit_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("limit");
    for (const auto& [name, limit] :
         {std::pair{"EditPhone1", 13}, {"EditPhone8", 13}, {"EditAP", 24}, {"EditIP", 21},
          {"EditIPR", 21}, {"EditIn1Name", 16}, {"EditTamperName", 16}, {"EditMaxSMS", 5},
          {"EditKB10", 4}, {"EditTrinket", 2}, {"EditSensor", 2}}) {
      QTest::newRow(name) << QString(name) << limit;
    }
  }
  void typingStopsAtEachLimit() {
    QFETCH(QString, name);
    QFETCH(int, limit);
    MakeForm();
    auto* edit = W<QLineEdit>(name.toLatin1().constData());
    edit->setEnabled(true);  // the network fields start disabled
    edit->clear();
    // Ones: the number boxes also refuse a value over 65535.
    QTest::keyClicks(edit, QString(limit + 5, QLatin1Char('1')));
    QCOMPARE(edit->text(), QString(limit, QLatin1Char('1')));
  }

  void programTextBeyondTheLimitStaysWholeAndEditable() {
    MakeForm();
    auto* phone = W<QLineEdit>("EditPhone1");
    const QString longPhone = "+79012345678901234";
    phone->setText(longPhone);
    QCOMPARE(phone->text(), longPhone);
    phone->setFocus();
    phone->setCursorPosition(longPhone.size());
    QTest::keyClick(phone, Qt::Key_5);
    QCOMPARE(phone->text(), longPhone);  // no growth past the limit
    QTest::keyClick(phone, Qt::Key_Backspace);
    QCOMPARE(phone->text(), longPhone.chopped(1));
    phone->setSelection(1, 1);
    QTest::keyClick(phone, Qt::Key_0);  // overwriting inside keeps the length
    QCOMPARE(phone->text(), "+0" + longPhone.mid(2).chopped(1));
    Form().CollectSettings();
    QCOMPARE(Form().Cfg().Phone[0], phone->text().toStdString());
  }

  void pasteIsCutToWhatStillFits() {
    MakeForm();
    auto* edit = W<QLineEdit>("EditTrinket");
    edit->setText("1");
    edit->setCursorPosition(1);
    QApplication::clipboard()->setText("0987");
    QTest::keySequence(edit, QKeySequence::Paste);
    QCOMPARE(edit->text(), "10");
  }

  void comboBoxAcceptsTypedTextThatIsNoItem() {
    MakeForm();
    auto* combo = W<QComboBox>("CmBxIn2");
    combo->lineEdit()->selectAll();
    QTest::keyClicks(combo->lineEdit(), "Night");
    QTest::keyClick(combo->lineEdit(), Qt::Key_Return);
    QCOMPARE(combo->currentText(), "Night");
    QCOMPARE(combo->count(), 4);  // typed texts do not become items
  }

  void radioButtonsAreExclusiveWithinTheirGroup() {
    MakeForm();
    QTest::mouseClick(W<QRadioButton>("RadioButtonVizit"), Qt::LeftButton, {}, QPoint(8, 10));
    QVERIFY(W<QRadioButton>("RadioButtonVizit")->isChecked());
    QVERIFY(!W<QRadioButton>("RadioButtonWiegand")->isChecked());
    QVERIFY(!W<QRadioButton>("RadioButtonLind7")->isChecked());
    QVERIFY(W<QRadioButton>("RBSens3")->isChecked());  // the other group is untouched
    QTest::mouseClick(W<QRadioButton>("RBSens4"), Qt::LeftButton, {}, QPoint(8, 10));
    QVERIFY(!W<QRadioButton>("RBSens3")->isChecked());
    QVERIFY(!Form().RBSens3Checked());
    QVERIFY(W<QRadioButton>("RadioButtonVizit")->isChecked());
  }

  void ctrlShiftLShowsAndHidesTheLog() {
    MakeForm();
    Form().show();
    QVERIFY(QTest::qWaitForWindowExposed(&Form()));
    QVERIFY(!Form().IsLogVisible());
    QTest::keyClick(&Form(), Qt::Key_L, Qt::ControlModifier | Qt::ShiftModifier);
    QVERIFY(Form().IsLogVisible());
    Form().AppendSentLogLine("1 220 237 32 1 ");
    Form().AppendLogLine("220 238 0 1 ");
    const QStringList lines = W<QPlainTextEdit>("Memo")->toPlainText().split('\n');
    QCOMPARE(lines.size(), 2);
    const QRegularExpression stamped(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d\\.\\d{3} "));
    QVERIFY(stamped.match(lines[0]).hasMatch());
    QVERIFY(lines[0].endsWith(QStringLiteral(" отправлено: 1 220 237 32 1 ")));
    QVERIFY(lines[1].endsWith(QStringLiteral(" получено: 220 238 0 1 ")));
    QTest::keyClick(&Form(), Qt::Key_L, Qt::ControlModifier | Qt::ShiftModifier);
    QVERIFY(!Form().IsLogVisible());
  }

  void progressBarStylesLookDifferentAndPositionIsClamped() {
    MakeForm();
    Form().show();
    QVERIFY(QTest::qWaitForWindowExposed(&Form()));
    auto* bar = W<QProgressBar>("ProgressBar");
    Form().SetProgressPosition(28);
    Form().SetProgressSmooth(false);
    const QImage segmented = bar->grab().toImage();
    Form().SetProgressSmooth(true);
    QVERIFY(Form().ProgressSmooth());
    const QImage smooth = bar->grab().toImage();
    QVERIFY(segmented != smooth);
    Form().SetProgressPosition(99);
    QCOMPARE(bar->value(), Form().ProgressMaximum());
    Form().SetProgressPosition(-5);
    QCOMPARE(bar->value(), 1);
  }

  void keyGridResetKeepsOnlyTheTitleRow() {
    MakeForm();
    auto* grid = W<QTableWidget>("KeyGrid2");
    QCOMPARE(grid->rowCount(), 1);
    QCOMPARE(grid->item(0, 1)->text(), QString::fromUtf8("Ключ (hex)"));
    Form().SetKeyRow(1, "3", "01-02-03-04-05-06-07-08", "");
    Form().SetKeyRow(2, "7", "01-02-03-04-05-06-07-08", "3");
    QCOMPARE(grid->rowCount(), 3);
    QCOMPARE(grid->item(2, 2)->text(), "3");
    Form().ResetKeyGrid();
    QCOMPARE(grid->rowCount(), 1);
    Form().SetKeyRow(1, "9", "AA-BB-CC-DD-EE-FF-00-11", "");
    QCOMPARE(grid->item(1, 2)->text(), "");
    QCOMPARE(grid->item(0, 0)->text(), QString::fromUtf8("№"));
    QCOMPARE(grid->item(0, 2)->text(), QString::fromUtf8("Дубль"));
    QCOMPARE(grid->editTriggers(), QAbstractItemView::NoEditTriggers);
  }

  void qtDialogsSpeakRussian() {
    QVERIFY(zarvex::InstallQtTranslations());
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString::fromUtf8("Отмена"));
  }

  void statusAndDeviceLabels() {
    MakeForm();
    auto* status = W<QLabel>("LabelCon");
    QCOMPARE(status->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    Form().SetStatus("Устройство подключено", zarvex::protocol::kConnectedGreen);
    QCOMPARE(status->text(), QString::fromUtf8("Устройство подключено"));
    QCOMPARE(status->palette().color(QPalette::WindowText), QColor(0, 128, 0));
    Form().SetDeviceType("Zarvex GSM");
    Form().SetDeviceVersion("425");
    QCOMPARE(W<QLabel>("LabelDevType")->text(), "Zarvex GSM");
    QCOMPARE(W<QLabel>("LabelDevVersion")->text(), "425");
    Form().SetWirelessLabels("Брелоки: 1, 4", "Датчики: 4(2)");
    QCOMPARE(W<QLabel>("LabelSensors")->text(), QString::fromUtf8("Датчики: 4(2)"));
    W<QLineEdit>("EditLabMin")->setText("1a0");
    QCOMPARE(Form().EditLabMinText(), "1a0");
  }
};

QTEST_MAIN(WindowControlsTest)
#include "tst_window_controls.moc"
