#include "ui/tform1.h"

#include <QCloseEvent>
#include <QCompleter>
#include <QFontDatabase>
#include <QIcon>
#include <QPalette>
#include <QShortcut>
#include <QTabBar>
#include <QTableWidget>
#include <QTime>
#include <QTimer>

#include "protocol/protocol_codes.h"
#include "report/panel_compare.h"
#include "settings/installer_units.h"
#include "text/panel_text.h"
#include "ui/typing_limit.h"
#include "ui_tform1.h"

// The icon lives in this static library; without this call the linker would
// drop its resource as unreferenced.
static void InitWindowIconResource() { Q_INIT_RESOURCE(window_icon); }

namespace zarvex {
namespace {

constexpr int kTimerIntervalMs = 10;
constexpr int kDesignColumnWidths[3] = {30, 130, 40};
const char* const kGridTitles[3] = {"№", "Ключ (hex)", "Дубль"};
// The widest text a key column holds; the design widths were made for a
// narrower font, so a column grows until this fits.
const char* const kWidestGridTexts[3] = {"1000", "DD-DD-DD-DD-DD-DD-DD-DD", "1000"};

const char* const kSegmentedStyle =
    "QProgressBar { border: 1px solid palette(mid); background: palette(base); }"
    "QProgressBar::chunk { background: rgb(140, 185, 235); width: 9px; margin: 1px; }";
const char* const kSmoothStyle =
    "QProgressBar { border: 1px solid palette(mid); background: palette(base); }"
    "QProgressBar::chunk { background: rgb(140, 185, 235); }";
// The bar's own text tells how a transfer went; the light chunk keeps it
// readable over the filled part.
const char* const kTextStyle = "QProgressBar { text-align: center; color: palette(text); }";
const char* const kAlarmTextStyle =
    "QProgressBar { text-align: center; color: rgb(255, 0, 0); font-weight: bold; }";
constexpr protocol::Rgb kWarningColour{176, 64, 0};
constexpr int kWarningGap = 12;
constexpr int kDeviceListLeft = 522;  // Label62 and the two model lines

void SetTextColour(QWidget* widget, protocol::Rgb colour) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::WindowText, QColor(colour.r, colour.g, colour.b));
  widget->setPalette(palette);
}

}  // namespace

TForm1::TForm1(QWidget* parent) : QWidget(parent), ui_(std::make_unique<Ui::TForm1>()) {
  ui_->setupUi(this);
  InitWindowIconResource();
  const QIcon svg(QStringLiteral(":/icons/zarvex-settings.svg"));
  // Where Qt has no SVG support, the picture the build made of it.
  setWindowIcon(svg.pixmap(32).isNull() ? QIcon(QStringLiteral(":/icons/zarvex-settings.png")) : svg);
  setFont(WindowFont());
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setFixedSize(769, 648);
  move(199, 119);

  SetTextColour(ui_->LabelCon, protocol::kDisconnectedRed);
  ApplyProgressStyle();
  // Beside the status, hidden until a transfer leaves the panel incomplete.
  transferWarning_ = new QLabel(this);
  transferWarning_->setObjectName("LabelTransferWarning");
  SetTextColour(transferWarning_, kWarningColour);
  transferWarning_->hide();
  PlaceTransferWarning();
  // All seven captions must fit the tab row without scroll arrows.
  // Styling the tabs drops the style's own frames, so they get plain ones,
  // and the open page stands out by its raised, lighter tab.
  ui_->PageControl1->setStyleSheet(QStringLiteral(
      "QTabBar::tab { padding: 4px 3px; margin-top: 2px; background: palette(button);"
      " border: 1px solid palette(mid); border-bottom: none;"
      " border-top-left-radius: 3px; border-top-right-radius: 3px; }"
      "QTabBar::tab:selected { margin-top: 0px; background: palette(base); }"));
  QFont tabFont = font();
  tabFont.setPixelSize(10);
  ui_->PageControl1->tabBar()->setFont(tabFont);
  ui_->PageControl1->setUsesScrollButtons(false);
  for (QComboBox* combo : findChildren<QComboBox*>()) {
    if (combo->completer()) combo->completer()->setCaseSensitivity(Qt::CaseSensitive);
  }
  TypingLimit::InstallFromProperties(this);

  timer_ = new QTimer(this);
  timer_->setObjectName("Timer");
  timer_->setInterval(kTimerIntervalMs);
  // A coarse timer may slip by 5% per tick, and every exchange waits for one.
  timer_->setTimerType(Qt::PreciseTimer);

  CollectControlArrays();
  // Only what a write sends whole can be typed.
  for (int parameter : {17, 42, 43}) TypingLimit::LimitNumber(NumberEdit(parameter), kLargestPanelNumber);
  for (int parameter : {18, 19, 20, 21, 22, 23, 24, 44}) {
    TypingLimit::LimitNumber(NumberEdit(parameter), kLargestDelaySeconds);
  }
  WireEvents();
  timer_->start();
}

TForm1::~TForm1() = default;

QFont TForm1::WindowFont() {
  QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
  font.setPixelSize(11);
  return font;
}

void TForm1::CollectControlArrays() {
  Ui::TForm1& u = *ui_;
  editPhone_ = {u.EditPhone1, u.EditPhone2, u.EditPhone3, u.EditPhone4,
                u.EditPhone5, u.EditPhone6, u.EditPhone7, u.EditPhone8};
  editKB_ = {u.EditKB1, u.EditKB2, u.EditKB3, u.EditKB4, u.EditKB5,
             u.EditKB6, u.EditKB7, u.EditKB8, u.EditKB9, u.EditKB10};
  editInWait_ = {u.EditIn1Wait, u.EditIn2Wait, u.EditIn3Wait,
                 u.EditIn4Wait, u.EditIn5Wait, u.EditIn6Wait};
  cmBxIn_ = {u.CmBxIn1, u.CmBxIn2, u.CmBxIn3, u.CmBxIn4, u.CmBxIn5, u.CmBxIn6};
  chBxSirenIn_ = {u.ChBxSirenIn1, u.ChBxSirenIn2, u.ChBxSirenIn3,
                  u.ChBxSirenIn4, u.ChBxSirenIn5, u.ChBxSirenIn6};
  editInName_ = {u.EditIn1Name, u.EditIn2Name, u.EditIn3Name,   u.EditIn4Name,
                 u.EditIn5Name, u.EditIn6Name, u.EditTamperName};
  smsBox_ = {u.ChBxResetSMS,  u.ChBxSMS1,        u.ChBxSMS2,       u.ChBxSMS3,
             u.ChBxSMS4,      u.ChBxSMS5,        u.ChBxSMS6,       u.ChBxTamperSMS,
             u.ChBxPowerOffSMS, u.ChBxPowerOnSMS, u.ChBxLowBatSMS, u.ChBxNoBatSMS,
             u.ChBxAlarmOnSMS, u.ChBxAlarmOffSMS};
  callBox_ = {u.ChBxResetCall,  u.ChBxCall1,        u.ChBxCall2,       u.ChBxCall3,
              u.ChBxCall4,      u.ChBxCall5,        u.ChBxCall6,       u.ChBxTamperCall,
              u.ChBxPowerOffCall, u.ChBxPowerOnCall, u.ChBxLowBatCall, u.ChBxNoBatCall,
              u.ChBxAlarmOnCall, u.ChBxAlarmOffCall};
}

void TForm1::WireEvents() {
  Ui::TForm1& u = *ui_;
  connect(u.ButtonRead, &QPushButton::clicked, this, &TForm1::ButtonReadClick);
  connect(u.ButtonWrite, &QPushButton::clicked, this, &TForm1::ButtonWriteClick);
  connect(u.ButtonLoad, &QPushButton::clicked, this, &TForm1::ButtonLoadClick);
  connect(u.Button3, &QPushButton::clicked, this, &TForm1::Button3Click);
  // toggled, not clicked: the rules must also follow changes made by code.
  connect(u.ChBxAuto, &QCheckBox::toggled, this, &TForm1::ChBxAutoClick);
  connect(u.ChBxVPN, &QCheckBox::toggled, this, &TForm1::ChBxVPNClick);
  connect(u.ButtonWriteKeys, &QPushButton::clicked, this, &TForm1::ButtonWriteKeysClick);
  connect(u.ButtonDelKeys, &QPushButton::clicked, this, &TForm1::ButtonDelKeysClick);
  connect(u.ButtonDelAllKeys, &QPushButton::clicked, this, &TForm1::ButtonDelAllKeysClick);
  connect(u.ButtonReadKeys, &QPushButton::clicked, this, &TForm1::ButtonReadKeysClick);
  connect(u.ButtonWriteTrinket, &QPushButton::clicked, this, &TForm1::ButtonWriteTrinketClick);
  connect(u.ButtonDelTrinket, &QPushButton::clicked, this, &TForm1::ButtonDelTrinketClick);
  connect(u.ButtonDelAllTrinket, &QPushButton::clicked, this, &TForm1::ButtonDelAllTrinketClick);
  connect(u.ButtonWriteSensor, &QPushButton::clicked, this, &TForm1::ButtonWriteSensorClick);
  connect(u.ButtonDelSensor, &QPushButton::clicked, this, &TForm1::ButtonDelSensorClick);
  connect(u.ButtonDelAllSensor, &QPushButton::clicked, this, &TForm1::ButtonDelAllSensorClick);
  connect(u.ButtonReadWireLess, &QPushButton::clicked, this, &TForm1::ButtonReadWireLessClick);
  connect(timer_, &QTimer::timeout, this, &TForm1::TimerTimer);
  // Support asks for the report log now and then; it stays out of sight otherwise.
  auto* logShortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_L), this);
  connect(logShortcut, &QShortcut::activated, this, &TForm1::ToggleLog);
}

void TForm1::Call(const std::function<void()>& handler) {
  if (handler) handler();
}

void TForm1::ButtonReadClick() { Call(handlers_.ButtonReadClick); }
void TForm1::ButtonWriteClick() {
  if (!WritableOrTold()) return;
  Call(handlers_.ButtonWriteClick);
  emit WriteClicked();
}

bool TForm1::WritableOrTold() {
  const TCFG collected = CollectedCopy();
  const auto bad = report::FirstUnwritable(
      collected, [](const Text& bytes) { return FromPanelText(bytes).toStdString(); });
  if (!bad) return true;
  const QString page = QString::fromStdString(bad->field->page);
  for (int i = 0; i < ui_->PageControl1->count(); ++i) {
    if (ui_->PageControl1->tabText(i) == page) ui_->PageControl1->setCurrentIndex(i);
  }
  if (QLineEdit* edit = NumberEdit(bad->field->parameter)) {
    edit->setFocus();
    edit->selectAll();
  }
  modal_->ShowMessage(this, QStringLiteral("«%1» на странице «%2»: %3 — панель не может хранить "
                                           "такое значение (задержка — до %4 с, число — до %5).\n"
                                           "Запись не начата.")
                                .arg(QString::fromStdString(bad->field->label), page,
                                     QString::fromStdString(bad->shown))
                                .arg(kLargestDelaySeconds)
                                .arg(kLargestPanelNumber));
  return false;
}

QLineEdit* TForm1::NumberEdit(int parameter) const {
  Ui::TForm1& u = *ui_;
  if (parameter >= 19 && parameter <= 24) return editInWait_[static_cast<size_t>(parameter - 19)];
  switch (parameter) {
    case 17: return u.EditReport;
    case 18: return u.EditAlarmWait;
    case 42: return u.EditMaxSMS;
    case 43: return u.EditSiren;
    case 44: return u.EditUnlock;
    default: return nullptr;
  }
}
void TForm1::ButtonWriteKeysClick() { Call(handlers_.ButtonWriteKeysClick); }
void TForm1::ButtonDelKeysClick() { Call(handlers_.ButtonDelKeysClick); }
void TForm1::ButtonDelAllKeysClick() { Call(handlers_.ButtonDelAllKeysClick); }
void TForm1::ButtonReadKeysClick() { Call(handlers_.ButtonReadKeysClick); }
void TForm1::ButtonWriteTrinketClick() { Call(handlers_.ButtonWriteTrinketClick); }
void TForm1::ButtonDelTrinketClick() { Call(handlers_.ButtonDelTrinketClick); }
void TForm1::ButtonDelAllTrinketClick() { Call(handlers_.ButtonDelAllTrinketClick); }
void TForm1::ButtonWriteSensorClick() { Call(handlers_.ButtonWriteSensorClick); }
void TForm1::ButtonDelSensorClick() { Call(handlers_.ButtonDelSensorClick); }
void TForm1::ButtonDelAllSensorClick() { Call(handlers_.ButtonDelAllSensorClick); }
void TForm1::ButtonReadWireLessClick() { Call(handlers_.ButtonReadWireLessClick); }
void TForm1::TimerTimer() { Call(handlers_.TimerTimer); }

void TForm1::ToggleLog() { ui_->Memo->setVisible(ui_->Memo->isHidden()); }

void TForm1::closeEvent(QCloseEvent* event) {
  if (FormClose()) {
    event->accept();
  } else {
    event->ignore();
  }
}

std::string TForm1::EditLabMinText() const { return ui_->EditLabMin->text().toStdString(); }
std::string TForm1::EditLabMaxText() const { return ui_->EditLabMax->text().toStdString(); }
std::string TForm1::EditTrinketText() const { return ui_->EditTrinket->text().toStdString(); }
std::string TForm1::EditSensorText() const { return ui_->EditSensor->text().toStdString(); }
bool TForm1::RBSens3Checked() const { return ui_->RBSens3->isChecked(); }

void TForm1::SetStatus(const std::string& text, protocol::Rgb colour) {
  ui_->LabelCon->setText(QString::fromStdString(text));
  SetTextColour(ui_->LabelCon, colour);
  PlaceTransferWarning();
}

void TForm1::SetDeviceType(const std::string& text) {
  ui_->LabelDevType->setText(QString::fromStdString(text));
}

void TForm1::SetDeviceVersion(const std::string& text) {
  ui_->LabelDevVersion->setText(QString::fromStdString(text));
}

void TForm1::SetProgressSmooth(bool smooth) {
  if (smooth == progressSmooth_) return;
  progressSmooth_ = smooth;
  ApplyProgressStyle();
}

void TForm1::ApplyProgressStyle() {
  QString style = QString::fromLatin1(progressSmooth_ ? kSmoothStyle : kSegmentedStyle);
  style += QString::fromLatin1(progressAlarm_ ? kAlarmTextStyle : kTextStyle);
  ui_->ProgressBar->setStyleSheet(style);
}

void TForm1::ShowTransferStatus(const protocol::TransferStatusText& status) {
  QProgressBar* bar = ui_->ProgressBar;
  const QString text = QString::fromStdString(status.text);
  const bool readJustCompleted =
      text == QStringLiteral("Конфигурация прочитана") && transferText_ != text;
  const bool changed = transferText_ != text;
  transferText_ = text;
  QString shown = text;
  if (!readCaption_.isEmpty() && shown.startsWith(QStringLiteral("Чтение: "))) {
    shown = readCaption_ + shown.mid(6);
  }
  bar->setFormat(shown);
  bar->setTextVisible(!shown.isEmpty());
  const bool counted = status.done >= 0;
  if (counted) {
    bar->setValue(std::clamp(status.done * bar->maximum() / protocol::kParameterCount,
                             bar->minimum(), bar->maximum()));
  } else if (fillFollowsText_) {
    bar->setValue(std::clamp(linkPosition_, bar->minimum(), bar->maximum()));
  }
  fillFollowsText_ = counted;
  if (status.alarm != progressAlarm_) {
    progressAlarm_ = status.alarm;
    ApplyProgressStyle();
  }
  const QString warning = QString::fromStdString(status.warning);
  transferWarning_->setText(warning);
  transferWarning_->setVisible(!warning.isEmpty());
  PlaceTransferWarning();
  if (readJustCompleted) emit ConfigurationRead();
  if (changed) emit TransferTextChanged(text);
}

void TForm1::ShowTransferResult(const QString& text, bool alarm) {
  ui_->ProgressBar->setFormat(text);
  ui_->ProgressBar->setTextVisible(true);
  if (alarm != progressAlarm_) {
    progressAlarm_ = alarm;
    ApplyProgressStyle();
  }
}

TCFG TForm1::CollectedCopy() {
  const TCFG kept = cfg_;
  CollectSettings();
  TCFG collected = cfg_;
  cfg_ = kept;
  return collected;
}

void TForm1::ApplyRecord(const TCFG& record) {
  cfg_ = record;
  ShowSettings();
}

QString TForm1::DeviceTypeText() const { return ui_->LabelDevType->text(); }
QString TForm1::DeviceVersionText() const { return ui_->LabelDevVersion->text(); }
QString TForm1::TrinketsText() const { return ui_->LabelTrinkets->text(); }
QString TForm1::SensorsText() const { return ui_->LabelSensors->text(); }

std::vector<std::array<std::string, 3>> TForm1::KeyRows() const {
  std::vector<std::array<std::string, 3>> rows;
  const QTableWidget* grid = ui_->KeyGrid2;
  for (int row = 1; row < grid->rowCount(); ++row) {
    std::array<std::string, 3> cells;
    for (int column = 0; column < 3; ++column) {
      const QTableWidgetItem* item = grid->item(row, column);
      cells[static_cast<size_t>(column)] = item ? item->text().toStdString() : std::string();
    }
    rows.push_back(cells);
  }
  return rows;
}

// Right after the status text, whatever its length, up to the device list.
void TForm1::PlaceTransferWarning() {
  if (transferWarning_ == nullptr) return;
  const QRect con = ui_->LabelCon->geometry();
  const int statusWidth =
      QFontMetrics(ui_->LabelCon->font()).horizontalAdvance(ui_->LabelCon->text());
  const int left = con.x() + statusWidth + kWarningGap;
  transferWarning_->setGeometry(left, con.y(), kDeviceListLeft - kWarningGap / 2 - left,
                                con.height());
}

QString TForm1::TransferText() const {
  return ui_->ProgressBar->isTextVisible() ? ui_->ProgressBar->format() : QString();
}

QString TForm1::TransferWarning() const {
  return transferWarning_->isHidden() ? QString() : transferWarning_->text();
}

void TForm1::SetProgressPosition(int position) {
  linkPosition_ = position;
  if (fillFollowsText_) return;
  QProgressBar* bar = ui_->ProgressBar;
  bar->setValue(std::clamp(position, bar->minimum(), bar->maximum()));
}

int TForm1::ProgressMaximum() const { return ui_->ProgressBar->maximum(); }

void TForm1::ShowMessage(const std::string& text) {
  modal_->ShowMessage(this, QString::fromStdString(text));
}

bool TForm1::IsLogVisible() const { return !ui_->Memo->isHidden(); }

void TForm1::AppendLogLine(const std::string& line) { AppendStampedLogLine("получено", line); }

void TForm1::AppendSentLogLine(const std::string& line) {
  AppendStampedLogLine("отправлено", line);
}

// Support reads both directions in order; the time tells them how long the
// panel took to answer.
void TForm1::AppendStampedLogLine(const char* direction, const std::string& line) {
  ui_->Memo->appendPlainText(QTime::currentTime().toString(QStringLiteral("hh:mm:ss.zzz ")) +
                             QString::fromUtf8(direction) + QStringLiteral(": ") +
                             QString::fromStdString(line));
}

void TForm1::ResetKeyGrid() {
  QTableWidget* grid = ui_->KeyGrid2;
  const QFontMetrics metrics(grid->font());
  for (int column = 0; column < 3; ++column) {
    grid->setItem(0, column, new QTableWidgetItem(QString::fromUtf8(kGridTitles[column])));
    const int needed =
        std::max(metrics.horizontalAdvance(QString::fromUtf8(kGridTitles[column])),
                 metrics.horizontalAdvance(QString::fromLatin1(kWidestGridTexts[column]))) +
        2 * metrics.averageCharWidth();
    grid->setColumnWidth(column, std::max(kDesignColumnWidths[column], needed));
  }
  grid->setRowCount(1);
}

void TForm1::SetKeyRow(int row, const std::string& position, const std::string& key,
                       const std::string& duplicate) {
  if (row < 0) return;
  if (row > 0) keysListed_ = true;
  QTableWidget* grid = ui_->KeyGrid2;
  if (grid->rowCount() <= row) grid->setRowCount(row + 1);
  grid->setItem(row, 0, new QTableWidgetItem(QString::fromStdString(position)));
  grid->setItem(row, 1, new QTableWidgetItem(QString::fromStdString(key)));
  grid->setItem(row, 2, new QTableWidgetItem(QString::fromStdString(duplicate)));
}

void TForm1::SetWirelessLabels(const std::string& trinkets, const std::string& sensors) {
  wirelessListed_ = true;
  ui_->LabelTrinkets->setText(QString::fromStdString(trinkets));
  ui_->LabelSensors->setText(QString::fromStdString(sensors));
}

void TForm1::SetTimerRunning(bool running) {
  if (running && !timer_->isActive()) {
    timer_->start();
  } else if (!running) {
    timer_->stop();
  }
}

}  // namespace zarvex
