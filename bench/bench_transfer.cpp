// Full configuration read and write, and a listing of 1000 reader keys,
// against the simulated panel through the whole stack: the virtual HID layer,
// the reading thread and its hand-off, Qt's event loop and the window's 10 ms
// timer. The last line is "read_ratio=R write_ratio=W": each transfer's median
// time over 56 timer periods. One exchange per tick makes both about 1.
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "demo/session_modal_ui.h"
#include "hid/qt/qt_main_loop.h"
#include "hid/virtual_hid_platform.h"
#include "link/panel_connection.h"
#include "ui/device_link_wiring.h"
#include "sim/virtual_panel.h"
#include "ui/modal_ui.h"
#include "ui/tform1.h"

namespace {

using Clock = std::chrono::steady_clock;
using zarvex::protocol::DeviceLink;

constexpr int kRuns = 5;
constexpr int kParameters = 56;
constexpr double kTimerPeriodMs = 10.0;
constexpr int kKeys = 1000;
constexpr int kDuplicates = 100;
constexpr int kTransferTimeoutMs = 10000;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 == 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2.0;
}

// What the main thread did, stamped where it happened.
struct Trace {
  Clock::duration handling{};  // inside the link's HIDDeviceData
  int reports = 0;
  int ticks = 0;
  std::vector<Clock::time_point> tickTimes;
  std::vector<Clock::time_point> reportTimes;
  void Clear() { *this = Trace{}; }
};

// Runs the event loop until `done` holds after a handled report, or the time
// is up. `done` is checked where the report is handled, so the stamp is the
// moment the transfer ended, not when the loop got round to noticing.
class Waiter {
 public:
  bool Wait(const std::function<bool()>& done, int timeoutMs, Clock::time_point* doneAt) {
    done_ = done;
    doneAt_ = doneAt;
    reached_ = done_();
    if (reached_) {
      if (doneAt_) *doneAt_ = Clock::now();
    } else {
      // Its own timer per wait: a timeout left over from an earlier wait
      // must not end this one.
      QTimer timeout;
      timeout.setSingleShot(true);
      QObject::connect(&timeout, &QTimer::timeout, &loop_, &QEventLoop::quit);
      timeout.start(timeoutMs);
      loop_.exec();
    }
    done_ = nullptr;
    return reached_;
  }
  void ReportHandled() {
    if (!done_ || reached_ || !done_()) return;
    if (doneAt_) *doneAt_ = Clock::now();
    reached_ = true;
    loop_.quit();
  }

 private:
  QEventLoop loop_;
  std::function<bool()> done_;
  Clock::time_point* doneAt_ = nullptr;
  bool reached_ = false;
};

zarvex::sim::KeyBytes DistinctKey(int n) {
  zarvex::sim::KeyBytes key{};
  key[0] = 0x01;
  key[5] = static_cast<uint8_t>(n >> 8);
  key[6] = static_cast<uint8_t>(n & 0xFF);
  key[7] = 0x0A;
  return key;
}

// Positions 1..1000; every tenth repeats the key of a position seven before it.
void PreloadKeys(zarvex::sim::PanelModel& model) {
  for (int position = 1; position <= kKeys; ++position) {
    const bool duplicate = position % (kKeys / kDuplicates) == 0;
    model.Keys().Put(position, DistinctKey(duplicate ? position - 7 : position));
  }
}

// Time from the click to the transfer's end; negative on a timeout.
double TimeTransfer(QPushButton* button, Waiter& waiter, const std::function<bool()>& done) {
  const Clock::time_point start = Clock::now();
  button->click();
  Clock::time_point end{};
  if (!waiter.Wait(done, kTransferTimeoutMs, &end)) return -1.0;
  return Ms(end - start);
}

// Where a tick period goes: from a request's tick to its answer, and from the
// answer to the next tick.
void PrintPacing(const char* name, const Trace& trace) {
  const std::size_t n = std::min(trace.tickTimes.size(), trace.reportTimes.size());
  if (n < 2) return;
  double toAnswer = 0.0, toNextTick = 0.0, tickGap = 0.0;
  for (std::size_t k = 0; k < n; ++k) toAnswer += Ms(trace.reportTimes[k] - trace.tickTimes[k]);
  for (std::size_t k = 0; k + 1 < n; ++k) {
    toNextTick += Ms(trace.tickTimes[k + 1] - trace.reportTimes[k]);
    tickGap += Ms(trace.tickTimes[k + 1] - trace.tickTimes[k]);
  }
  std::printf("%s pacing (last run): ticks=%d reports=%d tick_to_answer=%.3f ms "
              "answer_to_next_tick=%.3f ms tick_gap=%.3f ms\n",
              name, trace.ticks, trace.reports, toAnswer / static_cast<double>(n),
              toNextTick / static_cast<double>(n - 1), tickGap / static_cast<double>(n - 1));
}

void PrintRuns(const char* name, const std::vector<double>& runs) {
  std::printf("%s runs ms:", name);
  for (double r : runs) std::printf(" %.2f", r);
  std::printf("\n%s median=%.2f ms min=%.2f ms max=%.2f ms per_parameter=%.3f ms\n", name,
              Median(runs), *std::min_element(runs.begin(), runs.end()),
              *std::max_element(runs.begin(), runs.end()), Median(runs) / kParameters);
}

}  // namespace

int main(int argc, char* argv[]) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);

  // The window reads and writes "zarvex.cfg" in the current directory.
  QTemporaryDir workDir;
  if (!workDir.isValid() || !QDir::setCurrent(workDir.path())) {
    std::fprintf(stderr, "no temporary working directory\n");
    return 2;
  }

  zarvex::hid::VirtualHidPlatform platform;
  zarvex::hid::TQtMainLoop loop;
  zarvex::sim::VirtualPanel panel(platform);
  zarvex::demo::SessionModalUi modal;  // nothing waits for a person
  zarvex::TForm1 form;
  form.SetModalUi(modal);
  zarvex::link::TPanelConnection connection(form.Cfg(), form, platform, loop);
  DeviceLink& link = connection.Link();

  Trace trace;
  Waiter waiter;
  connection.Controller().SetOnDeviceData(
      [&](zarvex::hid::THidDevice& device, uint8_t reportId, const uint8_t* data, uint16_t size) {
        zarvex::link::TOfferedHidDevice offered(device);
        const Clock::time_point start = Clock::now();
        link.HIDDeviceData(offered, reportId, data, size);
        const Clock::time_point end = Clock::now();
        trace.handling += end - start;
        ++trace.reports;
        trace.reportTimes.push_back(start);
        waiter.ReportHandled();
      });

  // The program's own wiring, with the timer counted.
  zarvex::ConnectDeviceLink(form, connection);
  form.Handlers().TimerTimer = [&] {
    ++trace.ticks;
    trace.tickTimes.push_back(Clock::now());
    link.TimerTimer();
  };
  form.FormCreate();

  auto* buttonRead = form.findChild<QPushButton*>(QStringLiteral("ButtonRead"));
  auto* buttonWrite = form.findChild<QPushButton*>(QStringLiteral("ButtonWrite"));
  auto* buttonReadKeys = form.findChild<QPushButton*>(QStringLiteral("ButtonReadKeys"));
  auto* versionLabel = form.findChild<QLabel*>(QStringLiteral("LabelDevVersion"));
  auto* keyGrid = form.findChild<QTableWidget*>(QStringLiteral("KeyGrid2"));
  if (!buttonRead || !buttonWrite || !buttonReadKeys || !versionLabel || !keyGrid) {
    std::fprintf(stderr, "window controls not found\n");
    return 2;
  }

  // 1. Plug the panel; the link holds it once the version label is set.
  panel.Plug(zarvex::sim::PanelKind::First);
  panel.WithModel(PreloadKeys);
  if (!waiter.Wait([&] { return link.PanelHeld() && !versionLabel->text().isEmpty(); }, 5000,
                   nullptr)) {
    std::fprintf(stderr, "the panel was not identified\n");
    return 1;
  }
  std::printf("panel identified: version %s\n", versionLabel->text().toUtf8().constData());
  if (!buttonRead->isEnabled() || !buttonWrite->isEnabled() || !buttonReadKeys->isEnabled()) {
    std::fprintf(stderr, "device buttons disabled with a panel held\n");
    return 1;
  }

  // 2. The key listing first: a write leaves ReadStep at 0, and the first
  // data reply after it would start a full read in the middle of the list.
  trace.Clear();
  const Clock::time_point listStart = Clock::now();
  buttonReadKeys->click();
  Clock::time_point listEnd{};
  const bool listed = waiter.Wait([&] { return link.KeyList().KeyCount() >= kKeys &&
                                               form.ProgressSmooth(); },
                                  kTransferTimeoutMs, &listEnd);
  int marked = 0;
  for (int row = 1; row <= link.KeyList().KeyCount(); ++row) {
    if (!link.KeyList().Row(row).duplicate.empty()) ++marked;
  }
  std::printf("key listing: records=%d reports=%d duplicates_marked=%d total=%.2f ms\n",
              link.KeyList().KeyCount(), trace.reports, marked, Ms(listEnd - listStart));
  std::printf("key listing handling=%.2f ms for %d reports (target under 50 ms)\n",
              Ms(trace.handling), trace.reports);
  const int gridRows = keyGrid->rowCount();
  std::printf("KeyGrid2 rows=%d (expected %d)\n", gridRows, kKeys + 1);
  bool failed = !listed || gridRows != kKeys + 1 || marked != kDuplicates;

  // 3. Full reads and writes.
  std::vector<double> reads, writes;
  Trace lastRead, lastWrite;
  for (int run = 0; run < kRuns; ++run) {
    trace.Clear();
    const double ms = TimeTransfer(buttonRead, waiter, [&] {
      return link.ReadStep() == kParameters + 1 && link.ReadState() == 0;
    });
    if (ms < 0) {
      std::fprintf(stderr, "read %d did not finish (ReadStep %d)\n", run + 1, link.ReadStep());
      return 1;
    }
    reads.push_back(ms);
    lastRead = trace;
  }
  for (int run = 0; run < kRuns; ++run) {
    trace.Clear();
    const double ms = TimeTransfer(buttonWrite, waiter, [&] {
      return link.WriteState() == 0 && link.WriteStep() == 0;
    });
    if (ms < 0) {
      std::fprintf(stderr, "write %d did not finish (WriteStep %d)\n", run + 1, link.WriteStep());
      return 1;
    }
    writes.push_back(ms);
    lastWrite = trace;
  }

  PrintRuns("read", reads);
  PrintPacing("read", lastRead);
  PrintRuns("write", writes);
  PrintPacing("write", lastWrite);
  if (!modal.Messages().isEmpty()) std::printf("messages shown: %d\n", static_cast<int>(modal.Messages().size()));
  if (failed) std::printf("key listing check FAILED\n");

  const double budget = kParameters * kTimerPeriodMs;
  std::printf("read_ratio=%.3f write_ratio=%.3f\n", Median(reads) / budget, Median(writes) / budget);
  std::fflush(stdout);
  return failed ? 1 : 0;
}
