#include "demo/scripted_session.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>

#include <cstdio>
#include <exception>
#include <functional>
#include <map>

#include "demo/key_hex.h"
#include "demo/session_checks.h"
#include "demo/session_modal_ui.h"
#include "demo/session_screenshots.h"
#include "demo/session_wait.h"
#include "demo/simulator_window.h"
#include "settings/settings_file.h"
#include "sim/virtual_panel.h"
#include "ui/compare_dialog.h"
#include "ui/tform1.h"
#include "ui/tmain_window.h"

namespace zarvex::demo {

namespace {

// Generous against what a person waits for (a full transfer takes about
// 56 timer ticks), so that a slow sanitizer build still passes.
constexpr int kConnectMs = 10000;
constexpr int kTransferMs = 20000;
constexpr int kReplyMs = 10000;

const QString kConnected = QStringLiteral("Устройство подключено");
const QString kNotConnected = QStringLiteral("Устройство не подключено");
const QString kCodeSaved = QStringLiteral("Код сохранен");

// What the first panel held before this session, so that a read shows
// values the window did not have already.
const char kEarlierPhone8[] = "+79005550008";
constexpr int kEarlierSirenTime = 180;
const char kEarlierLoop3Name[] = "Back door";

// What the person types. The first phone is one digit longer than the box
// takes; the typing limit keeps its first 13 characters.
const char kTypedPhone1[] = "+7916123456789";
const char kKeptPhone1[] = "+791612345678";
const char kTypedArmDelay[] = "45";
constexpr int kArmDelayCode = 451;  // seconds * 10 + 1
const QString kLoop2Type = QStringLiteral("Круглосуточный");
constexpr int kLoop2TypeCode = 2;
const char kTypedLoop3Name[] = "Garage door";
const char kTypedSecondPanelPhone2[] = "+79035550202";

QString Q(const std::string& text) { return QString::fromStdString(text); }

// Where a person clicks: a check box or radio button on its mark (only the
// mark and the caption take a click, not the rest of a wide control).
QPoint ClickPoint(QAbstractButton* button) {
  QStyleOptionButton option;
  option.initFrom(button);
  if (qobject_cast<QRadioButton*>(button))
    return button->style()->subElementRect(QStyle::SE_RadioButtonIndicator, &option, button).center();
  if (qobject_cast<QCheckBox*>(button))
    return button->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, button).center();
  return button->rect().center();
}

class ScriptedSession {
 public:
  ScriptedSession(TMainWindow& window, SimulatorWindow& simulator, sim::VirtualPanel& panel,
                  SessionModalUi& modal, const QString& screenshotDirectory)
      : window_(window),
        form_(window.Form()),
        simulator_(simulator),
        panel_(panel),
        modal_(modal),
        screenshots_(screenshotDirectory, window, simulator) {}

  int Run() {
    try {
      QString error;
      if (!screenshots_.Prepare(error)) checks_.Stop(QStringLiteral("screenshot directory"), error);
      Screenshots(QStringLiteral("start"));
      PlugFirstModel();
      ReadFirstPanel();
      WriteChanges();
      HistoryAndCompare();
      StoreAndListKeys();
      PairWirelessDevices();
      WriteSecondPanel();
      CloseConfigurator();
    } catch (const SessionStopped&) {
      // Already printed; the steps after it cannot run.
    } catch (const std::exception& e) {
      checks_.Check(false, QStringLiteral("session"), QString::fromLocal8Bit(e.what()));
    }
    std::printf("%d passed, %d failed%s; screenshots in %s\n", checks_.Passed(), checks_.Failed(),
                checks_.Stopped() ? ", stopped early" : "",
                screenshots_.Directory().toUtf8().constData());
    std::fflush(stdout);
    return checks_.ExitCode();
  }

 private:
  // --- a person's hands and eyes ---

  template <typename T>
  T* Find(QWidget& window, const char* name) {
    T* widget = window.findChild<T*>(QString::fromLatin1(name));
    if (!widget) checks_.Stop(QStringLiteral("find %1").arg(QLatin1String(name)), QStringLiteral("no such control"));
    return widget;
  }

  void Click(QWidget& window, const char* name) {
    auto* button = Find<QAbstractButton>(window, name);
    const QString what = QStringLiteral("click %1").arg(QLatin1String(name));
    if (!button->isVisible()) checks_.Stop(what, QStringLiteral("the button is not on screen"));
    if (!button->isEnabled()) checks_.Stop(what, QStringLiteral("the button is disabled"));
    QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, ClickPoint(button));
  }

  // Selects what the box holds and types over it, key by key, so that the
  // box's typing limit applies as it does to a person.
  void Type(QWidget& window, const char* name, const QString& text) {
    auto* edit = Find<QLineEdit>(window, name);
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_Backspace);
    if (!edit->text().isEmpty())
      checks_.Stop(QStringLiteral("clear %1").arg(QLatin1String(name)), QStringLiteral("still holds \"%1\"").arg(edit->text()));
    QTest::keyClicks(edit, text);
  }
  void Type(const char* name, const QString& text) { Type(form_, name, text); }

  void Choose(const char* name, const QString& item) {
    auto* combo = Find<QComboBox>(form_, name);
    const int index = combo->findText(item);
    if (index < 0) checks_.Stop(QStringLiteral("choose %1").arg(QLatin1String(name)), QStringLiteral("no item \"%1\"").arg(item));
    combo->setCurrentIndex(index);
  }

  // Clicks the page's tab, as a person does.
  void ShowTab(QWidget& window, const char* tabsName, int index) {
    auto* tabs = Find<QTabWidget>(window, tabsName);
    QTabBar* bar = tabs->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->tabRect(index).center());
    if (tabs->currentIndex() != index)
      checks_.Stop(QStringLiteral("show page %1 of %2").arg(index + 1).arg(QLatin1String(tabsName)),
                   QStringLiteral("the tab did not open"));
  }

  void ShowPage(const char* pageName) {
    auto* tabs = Find<QTabWidget>(form_, "PageControl1");
    ShowTab(form_, "PageControl1", tabs->indexOf(Find<QWidget>(form_, pageName)));
  }

  // The simulator's own tabs: parameters, keys, wireless devices.
  void ShowSimulatorTab(int index) { ShowTab(simulator_, "TabsPanelMemory", index); }

  QString Text(QWidget& window, const char* name) {
    QWidget* widget = Find<QWidget>(window, name);
    if (auto* label = qobject_cast<QLabel*>(widget)) return label->text();
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) return edit->text();
    if (auto* combo = qobject_cast<QComboBox*>(widget)) return combo->currentText();
    checks_.Stop(QStringLiteral("read %1").arg(QLatin1String(name)), QStringLiteral("not a text control"));
  }
  QString FormText(const char* name) { return Text(form_, name); }

  bool Enabled(const char* name) { return Find<QWidget>(form_, name)->isEnabled(); }

  void Await(const QString& what, const std::function<bool()>& done, int timeoutMs,
             const std::function<QString()>& state) {
    if (!WaitFor(done, timeoutMs)) checks_.TimedOut(what, timeoutMs, state());
  }

  void AwaitStatus(const QString& status, const QString& version) {
    Await(QStringLiteral("\"%1\"%2").arg(status, version.isEmpty() ? QString() : QStringLiteral(" and version ") + version),
          [&] { return FormText("LabelCon") == status && (version.isEmpty() || FormText("LabelDevVersion") == version); },
          kConnectMs,
          [&] { return QStringLiteral("LabelCon \"%1\", LabelDevVersion \"%2\"").arg(FormText("LabelCon"), FormText("LabelDevVersion")); });
  }

  bool ProgressFullAndSmooth() {
    auto* bar = Find<QProgressBar>(form_, "ProgressBar");
    return form_.ProgressSmooth() && bar->value() == bar->maximum();
  }
  QString ProgressState() {
    auto* bar = Find<QProgressBar>(form_, "ProgressBar");
    return QStringLiteral("progress %1 of %2, %3").arg(bar->value()).arg(bar->maximum())
        .arg(form_.ProgressSmooth() ? QStringLiteral("smooth") : QStringLiteral("segmented"));
  }

  // A person reads configuration values off the window only when the read
  // is over: the bar stands full and smooth and `shown` is on the window.
  void AwaitRead(const QString& what, const std::function<bool()>& shown) {
    Await(what, [&] { return ProgressFullAndSmooth() && shown(); }, kTransferMs, [&] { return ProgressState(); });
  }

  void AwaitMessage(const QString& message, int count, const QString& what) {
    Await(what, [&] { return modal_.CountOf(message) >= count; }, kReplyMs,
          [&] { return QStringLiteral("messages so far: \"%1\"").arg(modal_.Messages().join(QStringLiteral("\", \""))); });
  }

  // The simulator window follows the panel on its own timer; a person waits
  // until it shows the panel waiting.
  void AwaitSimulator(const QString& what, const std::function<bool()>& done, const char* stateLabel) {
    Await(what, done, kReplyMs, [&] { return QStringLiteral("%1 \"%2\"").arg(QLatin1String(stateLabel), Text(simulator_, stateLabel)); });
  }

  void Screenshots(const QString& stepName) {
    // A person presses "Обновить" before looking, so nothing is a poll late.
    Click(simulator_, "ButtonRefresh");
    QString error;
    checks_.Check(screenshots_.Take(step_, stepName, error),
                  QStringLiteral("screenshots %1-%2").arg(step_, 2, 10, QLatin1Char('0')).arg(stepName), error);
    ++step_;
  }

  void CheckStatusGreen() {
    const QColor colour = Find<QLabel>(form_, "LabelCon")->palette().color(QPalette::WindowText);
    checks_.Check(colour.green() > 100 && colour.red() < 100 && colour.blue() < 100,
                  QStringLiteral("status shown in green"), QStringLiteral("colour %1").arg(colour.name()));
  }

  // --- the steps ---

  void PlugFirstModel() {
    Click(simulator_, "ButtonPlugFirst");
    AwaitStatus(kConnected, QStringLiteral("430"));
    checks_.Check(true, QStringLiteral("first-model panel connected, version 430"));
    CheckStatusGreen();
    checks_.Equal(FormText("LabelDevType"), QStringLiteral("Zarvex GSM"), QStringLiteral("device type of the first model"));
    checks_.Check(Enabled("ButtonRead") && Enabled("ButtonWrite"), QStringLiteral("read and write enabled"));
    checks_.Check(Enabled("ButtonWriteKeys") && Enabled("ButtonReadKeys"), QStringLiteral("key buttons enabled below version 500"));
    checks_.Check(!Enabled("ButtonWriteTrinket"), QStringLiteral("key fob pairing disabled below version 500"));
    Screenshots(QStringLiteral("plug-first-model"));
  }

  void ReadFirstPanel() {
    // This panel has been set up before; its values differ from the window's.
    panel_.WithModel([](sim::PanelModel& model) {
      model.Configuration().SetText(9, kEarlierPhone8);
      model.Configuration().SetNumber(43, kEarlierSirenTime);
      model.Configuration().SetText(52, kEarlierLoop3Name);
    });
    Click(form_, "ButtonRead");
    AwaitRead(QStringLiteral("the first panel's configuration read"),
              [&] { return FormText("EditPhone8") == QLatin1String(kEarlierPhone8); });
    checks_.Check(true, QStringLiteral("configuration read, progress bar full and smooth"));
    checks_.Equal(FormText("EditSiren"), QString::number(kEarlierSirenTime), QStringLiteral("siren time read from the panel"));
    checks_.Equal(FormText("EditIn3Name"), QLatin1String(kEarlierLoop3Name), QStringLiteral("loop 3 name read from the panel"));
    checks_.Equal(FormText("EditAlarmWait"), QStringLiteral("30"), QStringLiteral("arm delay 301 shown as 30 s"));
    Screenshots(QStringLiteral("read-configuration"));
  }

  void WriteChanges() {
    ShowPage("TabSheetGSM");
    Type("EditPhone1", QLatin1String(kTypedPhone1));
    checks_.Equal(FormText("EditPhone1"), QLatin1String(kKeptPhone1), QStringLiteral("typing into the phone box stops at 13 characters"));
    ShowPage("TabSheetMain");
    Type("EditAlarmWait", QLatin1String(kTypedArmDelay));
    ShowPage("TabSheetIn");
    Choose("CmBxIn2", kLoop2Type);
    ShowPage("TabSheetAuto");
    Type("EditIn3Name", QLatin1String(kTypedLoop3Name));

    Click(form_, "ButtonWrite");
    Await(QStringLiteral("the first panel's configuration write"), [&] { return form_.ProgressSmooth(); }, kTransferMs,
          [&] { return ProgressState(); });
    const sim::PanelConfiguration held = panel_.Configuration();
    checks_.Equal(Q(held.Text(2)), QLatin1String(kKeptPhone1), QStringLiteral("panel holds the typed phone 1"));
    checks_.Equal(held.Number(18), kArmDelayCode, QStringLiteral("panel holds the arm delay as 45 s * 10 + 1"));
    checks_.Equal(held.Number(27), kLoop2TypeCode, QStringLiteral("panel holds loop 2 type \"Круглосуточный\" as code 2"));
    checks_.Equal(Q(held.Text(52)), QLatin1String(kTypedLoop3Name), QStringLiteral("panel holds the typed loop 3 name"));
    checks_.Equal(Q(held.Text(9)), QLatin1String(kEarlierPhone8), QStringLiteral("panel keeps the phone 8 it had"));
    checks_.Equal(held.Number(46), 13, QStringLiteral("panel got the forced value 13 of parameter 46"));
    Screenshots(QStringLiteral("write-configuration"));
  }

  // The read and the write each left a snapshot; the compare dialog sets the
  // window against what the panel held before the write.
  void HistoryAndCompare() {
    const auto snapshots = window_.History().List();
    if (!checks_.Check(snapshots.size() == 2, QStringLiteral("history holds the read and the write"),
                       QStringLiteral("%1 snapshots").arg(snapshots.size())))
      return;
    checks_.Check(snapshots[0].kind == report::Snapshot::Kind::Write &&
                      snapshots[1].kind == report::Snapshot::Kind::Read,
                  QStringLiteral("newest first: the write, then the read before it"));
    TCompareDialog compare(window_);
    compare.CompareWith(window_.History().Load(snapshots[1]), QStringLiteral("снимок (чтение)"));
    compare.show();
    checks_.Check(QTest::qWaitForWindowExposed(&compare), QStringLiteral("compare dialog shown"));
    // Phone 1, the arm delay, loop 2's type and loop 3's name were changed.
    checks_.Equal(compare.CountText(), QStringLiteral("Отличаются 4 параметра из 56"),
                  QStringLiteral("compare: four parameters changed since the read"));
    checks_.Check(compare.grab().save(screenshots_.Directory() + QStringLiteral("/compare-dialog.png")),
                  QStringLiteral("compare dialog screenshot saved"));
    compare.accept();
  }

  void StoreAndListKeys() {
    ShowPage("TabSheetKey");
    Type("EditLabMin", QStringLiteral("1"));
    Type("EditLabMax", QStringLiteral("3"));
    Click(form_, "ButtonWriteKeys");
    AwaitSimulator(QStringLiteral("the panel to learn keys 1-3"),
                   [&] { return Text(simulator_, "LabelKeyLearning") == QStringLiteral("Панель ждёт ключ"); },
                   "LabelKeyLearning");
    Click(simulator_, "ButtonPresentRandomKey");
    AwaitMessage(kCodeSaved, 1, QStringLiteral("\"Код сохранен\" for the first key"));
    // The simulator shows the key it made up; a person notes it down.
    const QString firstKey = Text(simulator_, "EditKey");
    Click(simulator_, "ButtonPresentRandomKey");
    AwaitMessage(kCodeSaved, 2, QStringLiteral("\"Код сохранен\" for the second key"));
    // The first key held to the reader once more: stored again, and the
    // listing marks it as a repeat of row 1.
    Type(simulator_, "EditKey", firstKey);
    Click(simulator_, "ButtonPresentKey");
    AwaitMessage(kCodeSaved, 3, QStringLiteral("\"Код сохранен\" for the first key again"));

    const std::map<int, sim::KeyBytes> keys = panel_.StoredKeys();
    const bool three = keys.size() == 3 && keys.count(1) && keys.count(2) && keys.count(3);
    if (!checks_.Check(three, QStringLiteral("panel stored keys at positions 1, 2 and 3"),
                       QStringLiteral("%1 keys stored").arg(keys.size())))
      return;
    checks_.Check(keys.at(3) == keys.at(1) && keys.at(2) != keys.at(1),
                  QStringLiteral("position 3 repeats the key of position 1, position 2 differs"));

    Click(form_, "ButtonReadKeys");
    auto* grid = Find<QTableWidget>(form_, "KeyGrid2");
    Await(QStringLiteral("the key list"), [&] { return form_.ProgressSmooth() && grid->rowCount() >= 4; }, kReplyMs,
          [&] { return QStringLiteral("%1 grid rows, %2").arg(grid->rowCount()).arg(ProgressState()); });
    const auto cell = [grid](int row, int column) {
      const QTableWidgetItem* item = grid->item(row, column);
      return item ? item->text() : QString();
    };
    checks_.Equal(grid->rowCount(), 4, QStringLiteral("key grid: heading and three rows"));
    checks_.Equal(cell(0, 2), QStringLiteral("Дубль"), QStringLiteral("key grid heading \"Дубль\""));
    for (int row = 1; row <= 3; ++row) {
      checks_.Equal(cell(row, 0), QString::number(row), QStringLiteral("key grid row %1 position").arg(row));
      checks_.Equal(cell(row, 1), Q(KeyHex(keys.at(row))), QStringLiteral("key grid row %1 key").arg(row));
    }
    checks_.Equal(cell(1, 2) + cell(2, 2), QString(), QStringLiteral("rows 1 and 2 not marked as duplicates"));
    checks_.Equal(cell(3, 2), QStringLiteral("1"), QStringLiteral("row 3 marked \"Дубль\" of row 1"));
    ShowSimulatorTab(1);
    Screenshots(QStringLiteral("keys"));
  }

  void PairWirelessDevices() {
    ShowSimulatorTab(0);
    Click(simulator_, "ButtonUnplug");
    AwaitStatus(kNotConnected, {});
    checks_.Check(!Enabled("ButtonRead") && !Enabled("ButtonReadKeys"), QStringLiteral("unplugged: device buttons disabled"));
    Click(simulator_, "ButtonPlugSecond");
    AwaitStatus(kConnected, QStringLiteral("520"));
    checks_.Check(true, QStringLiteral("second-model panel connected, version 520"));
    CheckStatusGreen();
    checks_.Equal(FormText("LabelDevType"), QStringLiteral("Zarvex GSM ZX-4110"), QStringLiteral("device type of the second model"));
    checks_.Check(!Enabled("ButtonWriteKeys"), QStringLiteral("key buttons disabled from version 500"));
    checks_.Check(Enabled("ButtonWriteTrinket") && Enabled("ButtonReadWireLess"), QStringLiteral("wireless buttons enabled from version 500"));

    Click(form_, "ButtonRead");
    AwaitRead(QStringLiteral("the second panel's configuration read"),
              [&] { return FormText("EditPhone1") == QStringLiteral("*"); });
    checks_.Check(true, QStringLiteral("second panel read: factory phone 1 \"*\" replaces the typed one"));
    checks_.Equal(FormText("EditAlarmWait"), QStringLiteral("30"), QStringLiteral("second panel's arm delay"));
    checks_.Equal(FormText("CmBxIn2"), QStringLiteral("Проходной"), QStringLiteral("second panel's loop 2 type"));
    checks_.Equal(FormText("EditIn3Name"), QStringLiteral("Alarm Input3"), QStringLiteral("second panel's loop 3 name"));

    ShowPage("TabSheetWireless");
    int saved = modal_.CountOf(kCodeSaved);
    Type("EditTrinket", QStringLiteral("1"));
    Click(form_, "ButtonWriteTrinket");
    AwaitSimulator(QStringLiteral("the panel to wait for key fob 1"),
                   [&] { return Find<QWidget>(simulator_, "ButtonAnswerPairing")->isEnabled(); }, "LabelPendingPairing");
    checks_.Equal(Text(simulator_, "LabelPendingPairing"), QStringLiteral("Ждёт ответа: брелок 1"), QStringLiteral("panel waits for key fob 1"));
    Click(simulator_, "ButtonAnswerPairing");
    AwaitMessage(kCodeSaved, ++saved, QStringLiteral("\"Код сохранен\" for key fob 1"));

    Click(form_, "RBSens4");
    checks_.Check(!Find<QAbstractButton>(form_, "RBSens3")->isChecked(), QStringLiteral("loop 4 chosen, loop 3 no longer"));
    Type("EditSensor", QStringLiteral("2"));
    Click(form_, "ButtonWriteSensor");
    AwaitSimulator(QStringLiteral("the panel to wait for sensor 2 on loop 4"),
                   [&] { return Find<QWidget>(simulator_, "ButtonAnswerPairing")->isEnabled(); }, "LabelPendingPairing");
    checks_.Equal(Text(simulator_, "LabelPendingPairing"), QStringLiteral("Ждёт ответа: датчик 2 (4й шлейф)"),
                  QStringLiteral("panel waits for sensor 2 on loop 4"));
    Click(simulator_, "ButtonAnswerPairing");
    AwaitMessage(kCodeSaved, ++saved, QStringLiteral("\"Код сохранен\" for sensor 2 on loop 4"));

    const QString before = FormText("LabelTrinkets");
    Click(form_, "ButtonReadWireLess");
    Await(QStringLiteral("the wireless list"), [&] { return FormText("LabelTrinkets") != before; }, kReplyMs,
          [&] { return QStringLiteral("LabelTrinkets \"%1\"").arg(FormText("LabelTrinkets")); });
    checks_.Equal(FormText("LabelTrinkets"), QStringLiteral("Брелоки: 1"), QStringLiteral("LabelTrinkets"));
    checks_.Equal(FormText("LabelSensors"), QStringLiteral("Датчики: 4(2)"), QStringLiteral("LabelSensors"));
    ShowSimulatorTab(2);
    Screenshots(QStringLiteral("wireless"));
  }

  void WriteSecondPanel() {
    ShowSimulatorTab(0);
    ShowPage("TabSheetGSM");
    Type("EditPhone2", QLatin1String(kTypedSecondPanelPhone2));
    Click(form_, "ButtonWrite");
    Await(QStringLiteral("the second panel's configuration write"), [&] { return form_.ProgressSmooth(); }, kTransferMs,
          [&] { return ProgressState(); });
    const sim::PanelConfiguration held = panel_.Configuration();
    checks_.Equal(Q(held.Text(3)), QLatin1String(kTypedSecondPanelPhone2), QStringLiteral("second panel holds the typed phone 2"));
    checks_.Equal(Q(held.Text(2)), QStringLiteral("*"), QStringLiteral("second panel keeps its phone 1"));
    checks_.Equal(Q(panel_.WirelessPresence()).left(1), QStringLiteral("1"), QStringLiteral("second panel keeps key fob 1 paired"));
    Screenshots(QStringLiteral("write-second-panel"));
  }

  void CloseConfigurator() {
    checks_.Check(window_.close(), QStringLiteral("configurator window closes"));
    checks_.Check(modal_.Questions().isEmpty(), QStringLiteral("closing asked nothing"),
                  modal_.Questions().join(QStringLiteral("; ")));
    const QString file = QStringLiteral("zarvex.cfg");
    if (!checks_.Check(QFileInfo::exists(file), QStringLiteral("\"zarvex.cfg\" saved in the working directory"))) return;
    TCFG saved;
    try {
      LoadSettingsFile(file.toStdString(), saved);
    } catch (const std::exception& e) {
      checks_.Check(false, QStringLiteral("\"zarvex.cfg\" loads"), QString::fromLocal8Bit(e.what()));
      return;
    }
    checks_.Check(true, QStringLiteral("\"zarvex.cfg\" loads"));
    checks_.Equal(Q(saved.Phone[1]), QLatin1String(kTypedSecondPanelPhone2), QStringLiteral("file holds the typed phone 2"));
    checks_.Equal(Q(saved.Phone[0]), QStringLiteral("*"), QStringLiteral("file holds the second panel's phone 1"));
    checks_.Equal(saved.ArmDelay, 301, QStringLiteral("file holds the arm delay as its code 301"));
    checks_.Equal(Q(saved.InputName[2]), QStringLiteral("Alarm Input3"), QStringLiteral("file holds the second panel's loop 3 name"));
    checks_.Equal(saved.FirmwareVersion, 520, QStringLiteral("file holds firmware version 520"));
    Screenshots(QStringLiteral("closed"));
  }

  TMainWindow& window_;
  TForm1& form_;
  SimulatorWindow& simulator_;
  sim::VirtualPanel& panel_;
  SessionModalUi& modal_;
  SessionScreenshots screenshots_;
  SessionChecks checks_;
  int step_ = 0;
};

}  // namespace

int RunScriptedSession(TMainWindow& window, SimulatorWindow& simulator, sim::VirtualPanel& panel,
                       SessionModalUi& modal, const QString& screenshotDirectory) {
  return ScriptedSession(window, simulator, panel, modal, screenshotDirectory).Run();
}

}  // namespace zarvex::demo
