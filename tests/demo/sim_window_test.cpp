// The simulator window driven as a person would: buttons found by name,
// the configurator's side played by writing host reports to the panel.

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include <memory>

#include "demo/key_hex.h"
#include "demo/simulator_window.h"
#include "hid/virtual_hid_platform.h"
#include "sim/virtual_panel.h"

using namespace zarvex;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes HostFrame(uint8_t messageClass, uint8_t code) {
  Bytes r(65, 0);
  r[0] = 1; r[1] = 0xDC; r[2] = 0xED; r[3] = messageClass; r[4] = code;
  return r;
}

Bytes HostStoreKeys(const std::string& range) {
  Bytes r = HostFrame(0x10, 0xE6);
  r[5] = 4; r[6] = uint8_t(range.size());
  for (std::size_t i = 0; i < range.size(); ++i) r[7 + i] = uint8_t(range[i]);
  return r;
}

Bytes HostPairDevice(uint8_t code) {
  Bytes r = HostFrame(0x10, 0xE6);
  r[5] = 3; r[6] = 4; r[10] = code;
  return r;
}

Bytes HostQuery(uint8_t parameter) {
  Bytes r = HostFrame(0x20, parameter);
  r[5] = 3; r[6] = 4;
  return r;
}

}  // namespace

class SimWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    platform = std::make_unique<hid::VirtualHidPlatform>();
    panel = std::make_unique<sim::VirtualPanel>(*platform);
    window = std::make_unique<demo::SimulatorWindow>(*panel);
    window->show();
  }
  void cleanup() {
    window.reset();
    panel.reset();
    platform.reset();
  }

  void plugButtonsPlugEachModelAndUnplugKeepsThePanelForReplug() {
    QVERIFY(!Button("ButtonUnplug")->isEnabled());
    QVERIFY(!Button("ButtonReplug")->isEnabled());

    Click("ButtonPlugFirst");
    QVERIFY(panel->IsPlugged());
    QCOMPARE(panel->FirmwareVersion(), 430);
    QCOMPARE(platform->PresentInterfaces().size(), std::size_t(1));
    QVERIFY(Label("LabelPanelState")->text().contains("430"));
    QVERIFY(Button("ButtonPresentRandomKey")->isEnabled());
    QVERIFY(!Button("ButtonAnswerPairing")->isEnabled());

    Click("ButtonPlugSecond");  // replaces the first panel, not a second device
    QCOMPARE(panel->FirmwareVersion(), 520);
    QCOMPARE(platform->PresentInterfaces().size(), std::size_t(1));
    QVERIFY(!Button("ButtonPresentRandomKey")->isEnabled());
    QVERIFY(!Button("ButtonPresentKey")->isEnabled());

    panel->WithModel([](sim::PanelModel& m) { m.Configuration().SetNumber(17, 60); });
    Click("ButtonUnplug");
    QVERIFY(!panel->IsPlugged());
    QVERIFY(platform->PresentInterfaces().empty());
    QVERIFY(!Button("ButtonDropNextAnswer")->isEnabled());
    QVERIFY(Label("LabelPanelState")->text().startsWith("Отключена"));

    Click("ButtonReplug");
    QVERIFY(panel->IsPlugged());
    QCOMPARE(panel->Configuration().Number(17), 60);
  }

  void presentedKeysAreStoredOnlyWhileTheStoreRequestLearns() {
    Click("ButtonPlugFirst");
    QVERIFY(!Button("ButtonPresentSameKey")->isEnabled());

    // Without a store request the panel ignores the reader.
    Click("ButtonPresentRandomKey");
    QVERIFY(panel->StoredKeys().empty());
    QVERIFY(Label("LabelLastAction")->text().contains("не записан"));

    panel->OnOutputReport(HostStoreKeys("1,3"));
    window->Refresh();
    QCOMPARE(Label("LabelKeyLearning")->text(), QString("Панель ждёт ключ"));

    Edit("EditKey")->setText("01-02-03-04-05-06-07-0a");
    Click("ButtonPresentKey");
    const sim::KeyBytes key{1, 2, 3, 4, 5, 6, 7, 10};
    QCOMPARE(panel->StoredKeys().size(), std::size_t(1));
    QVERIFY(panel->StoredKeys().at(1) == key);

    QVERIFY(Button("ButtonPresentSameKey")->isEnabled());
    Click("ButtonPresentSameKey");  // a duplicate for the configurator's "Дубль"
    QCOMPARE(panel->StoredKeys().size(), std::size_t(2));
    QVERIFY(panel->StoredKeys().at(2) == key);

    auto* keys = Table("KeyTable");
    QCOMPARE(keys->rowCount(), 2);
    QCOMPARE(keys->item(1, 0)->text(), QString("2"));
    QCOMPARE(keys->item(1, 1)->text(), QString("01-02-03-04-05-06-07-0A"));

    // A mistyped key is not presented at all.
    Edit("EditKey")->setText("01-02-03");
    Click("ButtonPresentKey");
    QCOMPARE(panel->StoredKeys().size(), std::size_t(2));
  }

  void configurationViewShowsWhatThePanelHoldsInItsEncoding() {
    Click("ButtonPlugSecond");
    auto* table = Table("ParameterTable");
    QCOMPARE(table->rowCount(), 56);
    QCOMPARE(table->item(16, 2)->text(), QString("720"));  // factory test period
    QCOMPARE(table->item(55, 2)->text(), QString("Tamper"));

    // "Дверь" in Windows-1251, as the configurator writes Russian names.
    panel->WithModel([](sim::PanelModel& m) {
      m.Configuration().SetText(50, "\xC4\xE2\xE5\xF0\xFC");
      m.Configuration().SetNumber(17, 60);
    });
    Click("ButtonRefresh");
    QCOMPARE(table->item(49, 2)->text(), QString("Дверь"));
    QCOMPARE(table->item(16, 2)->text(), QString("60"));
    QCOMPARE(table->item(16, 1)->text(), QString("TestPeriod"));
  }

  void answeringAPairingPairsTheWaitingDevice() {
    Click("ButtonPlugSecond");
    QVERIFY(!Button("ButtonAnswerPairing")->isEnabled());
    panel->OnOutputReport(HostPairDevice(3));
    window->Refresh();
    QVERIFY(Button("ButtonAnswerPairing")->isEnabled());
    QVERIFY(Label("LabelPendingPairing")->text().contains("брелок 3"));

    Click("ButtonAnswerPairing");
    QCOMPARE(panel->WirelessPresence().substr(0, 4), std::string("0010"));
    QCOMPARE(Label("LabelPairedTrinkets")->text(), QString("Брелоки: 3"));
    QCOMPARE(Label("LabelPairedSensors")->text(), QString("Датчики: пусто"));
    QVERIFY(!Button("ButtonAnswerPairing")->isEnabled());
  }

  void faultButtonsReachThePanelsAnswers() {
    Click("ButtonPlugFirst");
    const auto id = panel->DeviceId().value_or(-1);

    Click("ButtonDropNextAnswer");
    panel->OnOutputReport(HostQuery(17));
    QCOMPARE(platform->QueuedInputReports(id), std::size_t(0));
    panel->OnOutputReport(HostQuery(17));
    QCOMPARE(platform->QueuedInputReports(id), std::size_t(1));

    Click("ButtonHoldNextAnswer");
    panel->OnOutputReport(HostQuery(18));
    QCOMPARE(platform->QueuedInputReports(id), std::size_t(1));
    Click("ButtonReleaseHeld");
    QCOMPARE(platform->QueuedInputReports(id), std::size_t(2));

    Click("ButtonUnplugOnNextRequest");
    QVERIFY(panel->IsPlugged());
    panel->OnOutputReport(HostQuery(19));
    QVERIFY(!panel->IsPlugged());
    window->Refresh();
    QVERIFY(Button("ButtonReplug")->isEnabled());
  }

  void keyHexAcceptsSixteenDigitsOnly() {
    QVERIFY(demo::ParseKeyHex("0123456789abcdef").has_value());
    QVERIFY(demo::ParseKeyHex("01 23:45-67 89 AB CD EF").has_value());
    QVERIFY(!demo::ParseKeyHex("0123456789abcde").has_value());
    QVERIFY(!demo::ParseKeyHex("0123456789abcdef0").has_value());
    QVERIFY(!demo::ParseKeyHex("0123456789abcdeg").has_value());
    QVERIFY(!demo::ParseKeyHex("").has_value());
    const auto key = demo::ParseKeyHex("FF-00-0A-A0-10-01-7F-80");
    QVERIFY(key.has_value());
    QCOMPARE(demo::KeyHex(*key), std::string("FF-00-0A-A0-10-01-7F-80"));
  }

 private:
  template <typename T>
  T* Find(const char* name) {
    auto* widget = window->findChild<T*>(QString::fromLatin1(name));
    if (!widget) qFatal("no widget %s", name);
    return widget;
  }
  QPushButton* Button(const char* name) { return Find<QPushButton>(name); }
  QLabel* Label(const char* name) { return Find<QLabel>(name); }
  QLineEdit* Edit(const char* name) { return Find<QLineEdit>(name); }
  QTableWidget* Table(const char* name) { return Find<QTableWidget>(name); }
  void Click(const char* name) { QTest::mouseClick(Button(name), Qt::LeftButton); }

  std::unique_ptr<hid::VirtualHidPlatform> platform;
  std::unique_ptr<sim::VirtualPanel> panel;
  std::unique_ptr<demo::SimulatorWindow> window;
};

QTEST_MAIN(SimWindowTest)
#include "sim_window_test.moc"
