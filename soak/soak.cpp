// Random sessions through the whole stack: the HID controller, its reading
// thread and the device link over the virtual HID platform, against the
// simulated panel with its answer faults switched on at random, and the
// settings file saved with failures injected at random points.
//
//   soak [--sessions N] [--seed S]
//
// After every action it checks that no write is called complete unless the
// panel received all 56 steps, and that a completed write left the panel
// holding what was sent; after every session, that "zarvex.cfg" is a whole
// 61-line file, the old one or the new one. A watchdog ends a hung session.
// Prints sessions, faults injected by kind and violations; exit 1 on any.

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <bitset>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <thread>

#include "hid/hid_simple_loop.h"
#include "hid/virtual_hid_platform.h"
#include "link/headless_driver.h"
#include "link/headless_panel_view.h"
#include "link/panel_connection.h"
#include "protocol/parameter_table.h"
#include "settings/file_ops.h"
#include "settings/settings_file.h"
#include "settings/settings_file_error.h"
#include "settings/settings_format.h"
#include "sim/panel_frame.h"
#include "sim/virtual_panel.h"

namespace {

using namespace zarvex;
using Rng = std::mt19937_64;

constexpr int64_t kActionTimeoutMs = 3000;
constexpr auto kSessionDeadline = std::chrono::seconds(60);

int Pick(Rng& rng, int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }
bool Chance(Rng& rng, int percent) { return Pick(rng, 1, 100) <= percent; }

std::string RandomText(Rng& rng, int maxLength) {
  std::string text(static_cast<size_t>(Pick(rng, 0, maxLength)), ' ');
  for (char& c : text) {
    // Printable ASCII and the Cyrillic half of Windows-1251.
    c = static_cast<char>(Chance(rng, 80) ? Pick(rng, 0x20, 0x7E) : Pick(rng, 0xC0, 0xFF));
  }
  return text;
}

void RandomRecord(Rng& rng, TCFG& cfg) {
  for (int k = 1; k <= 56; ++k) {
    const protocol::Parameter* p = protocol::ParameterAt(k);
    switch (p->kind) {
      case protocol::ParameterKind::KeypadCodes:
        cfg.KeypadCode0 = std::to_string(Pick(rng, 1000, 9999));
        for (Text& code : cfg.KeypadCode) code = std::to_string(Pick(rng, 1000, 9999));
        break;
      case protocol::ParameterKind::Text:
        p->text(cfg) = RandomText(rng, 24);
        break;
      case protocol::ParameterKind::Number:
        p->number(cfg) = Pick(rng, 0, 65535);
        break;
      case protocol::ParameterKind::EventSlots:
        for (int32_t& slot : p->slots(cfg)) slot = Pick(rng, 0, 1);
        BuildEventMasks(cfg);
        break;
    }
  }
  cfg.AutonomousOff = Pick(rng, 0, 1);
  cfg.VpnAndId = RandomText(rng, 7);
}

// The save's system calls, one of which fails as a full disk or a refused
// permission would.
class FailingFileOps final : public FileOps {
 public:
  enum class Point { None, Open, Write, Fsync, Close, Rename };
  FailingFileOps(Point point, int error) : point_(point), error_(error) {}

  int Open(const char* path, int flags, mode_t mode) override {
    if (point_ == Point::Open && (flags & O_CREAT)) return Fail();
    return FileOps::Open(path, flags, mode);
  }
  ssize_t Write(int fd, const void* data, size_t size) override {
    if (point_ == Point::Write) {
      if (!wroteSome_ && size > 1) {  // a partial write first, as a disk filling up gives
        wroteSome_ = true;
        return FileOps::Write(fd, data, size / 2);
      }
      return Fail();
    }
    return FileOps::Write(fd, data, size);
  }
  int Fsync(int fd) override { return point_ == Point::Fsync ? Fail() : FileOps::Fsync(fd); }
  int Close(int fd) override {
    const int result = FileOps::Close(fd);
    return point_ == Point::Close && !closedOnce_++ ? Fail() : result;
  }
  int Rename(const char* from, const char* to) override {
    return point_ == Point::Rename ? Fail() : FileOps::Rename(from, to);
  }

 private:
  int Fail() {
    errno = error_;
    return -1;
  }
  Point point_;
  int error_;
  bool wroteSome_ = false;
  int closedOnce_ = 0;
};

std::string ReadFile(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

int CountCrLfLines(const std::string& file) {
  int lines = 0;
  for (size_t at = 0; (at = file.find("\r\n", at)) != std::string::npos; at += 2) ++lines;
  return lines;
}

struct Tally {
  std::map<std::string, long> faults;
  std::map<std::string, long> outcomes;
  long sessions = 0, violations = 0;

  void Violation(long session, const std::string& what) {
    ++violations;
    std::fprintf(stderr, "session %ld: VIOLATION: %s\n", session, what.c_str());
  }
};

// One session: a panel of either model plugged, identified, then a few
// transfers with faults, then the working copy saved.
class Session {
 public:
  Session(Rng& rng, Tally& tally, long number, const std::string& cfgPath)
      : rng_(rng), tally_(tally), number_(number), cfgPath_(cfgPath) {
    view_.onCollect = [this] { collected_ = cfg_; };
  }

  void Run() {
    const bool second = Chance(rng_, 50);
    const int version = second ? 520 : (Chance(rng_, 50) ? 430 : Pick(rng_, 441, 499));
    panel_.Plug(second ? sim::PanelKind::Second : sim::PanelKind::First, version);
    RandomRecord(rng_, cfg_);
    if (!driver_.RunUntil([&] { return cfg_.FirmwareVersion == version; }, kActionTimeoutMs)) {
      Outcome("identification unanswered");
    }
    const int actions = Pick(rng_, 1, 4);
    for (int a = 0; a < actions; ++a) Action(second);
    SaveWorkingCopy();
  }

 private:
  enum class Kind { Read, Write, Keys, Wireless };

  void Action(bool second) {
    if (!panel_.IsPlugged()) {
      panel_.Replug();
      driver_.RunUntil([&] { return connection_.Link().PanelHeld(); }, kActionTimeoutMs);
    }
    const int roll = Pick(rng_, 0, 9);
    const Kind kind = roll < 4 ? Kind::Write : roll < 7 ? Kind::Read
                      : second ? Kind::Wireless : Kind::Keys;
    if (kind == Kind::Write && Chance(rng_, 50)) RandomRecord(rng_, cfg_);

    const size_t firstReport = panel_.ReceivedReports().size();
    protocol::DeviceLink& link = connection_.Link();
    switch (kind) {
      case Kind::Read: link.ButtonReadClick(); break;
      case Kind::Write: link.ButtonWriteClick(); break;
      case Kind::Keys: link.ButtonReadKeysClick(); break;
      case Kind::Wireless: link.ButtonReadWireLessClick(); break;
    }
    auto ended = [&] {
      const std::string& text = view_.transfer.text;
      if (!link.PanelHeld() || view_.transfer.alarm) return true;
      switch (kind) {
        case Kind::Read:
          return text == "Конфигурация прочитана" || text.rfind("Чтение прервано", 0) == 0;
        case Kind::Write:
          return text == "Конфигурация записана" || text.rfind("Запись прервана", 0) == 0;
        default:
          return !link.Status().Watching();
      }
    };
    if (Chance(rng_, 60)) {
      driver_.RunUntil(ended, Pick(rng_, 0, 80) * link::THeadlessDriver::kTickMs);
      if (!ended()) InjectFault();
    }
    if (!driver_.RunUntil(ended, kActionTimeoutMs)) Outcome("action unfinished");
    if (held_) {
      driver_.RunUntil(ended, Pick(rng_, 0, 150) * link::THeadlessDriver::kTickMs);
      panel_.ReleaseHeldAnswers();
      held_ = false;
    }
    const std::string& text = view_.transfer.text;
    if (view_.transfer.alarm) Outcome("no answer");
    else if (kind == Kind::Wireless) Outcome("wireless list");
    else Outcome(text.substr(0, text.find(':')));
    if (kind == Kind::Write) CheckWrite(firstReport);
  }

  void InjectFault() {
    switch (Pick(rng_, 0, 5)) {
      case 0:
        Fault("silence");
        panel_.DropNextAnswer();
        break;
      case 1:
        Fault("delay");
        panel_.HoldNextAnswer();
        held_ = true;
        break;
      case 2: {
        Fault("duplicate answer");
        const auto received = panel_.ReceivedReports();
        if (received.empty() || received.back().size() < 5) break;
        const sim::Report& last = received.back();
        const int code = last[4];
        if (last[3] == sim::kClassWrite) panel_.SendReport(sim::Acknowledgement(code));
        else if (code >= 1 && code <= 56) panel_.SendReport(panel_.ParameterReport(code));
        break;
      }
      case 3:
        Fault("answer for another parameter");
        panel_.AnswerOtherParameter(Pick(rng_, 1, 56));
        break;
      case 4:
        Fault("truncated report");
        panel_.ShortenNextAnswer(static_cast<size_t>(Pick(rng_, 1, 12)));
        break;
      default:
        Fault("unplug");
        panel_.UnplugAfterRequests(Pick(rng_, 1, 20));
        break;
    }
  }

  // The panel's own record of this write: which steps it received since the
  // click, and the value last sent for each.
  void CheckWrite(size_t firstReport) {
    if (view_.transfer.text != "Конфигурация записана") return;
    const auto received = panel_.ReceivedReports();
    std::bitset<56> steps;
    for (size_t i = firstReport; i < received.size(); ++i) {
      const sim::Report& r = received[i];
      if (r.size() > 4 && r[3] == sim::kClassWrite && r[4] >= 1 && r[4] <= 56) steps.set(r[4] - 1);
    }
    if (!steps.all()) {
      tally_.Violation(number_, "write shown complete, panel received " +
                                    std::to_string(steps.count()) + " of 56 steps");
    }
    // A completed write leaves the panel with what the record held, unless
    // value reports changed the record while it ran: the protocol stores any
    // that come, and the next one after a write click starts a read beside it.
    if (!(cfg_ == collected_)) {
      Outcome("record changed during the write");
      return;
    }
    const sim::PanelConfiguration held = panel_.Configuration();
    for (int k = 1; k <= 56; ++k) {
      const std::string want = ExpectedValue(k);
      const std::string got = sim::KindOfParameter(k) == sim::ParameterKind::Number
                                  ? std::to_string(held.Number(k))
                                  : held.Text(k);
      if (want != got) {
        tally_.Violation(number_, "parameter " + std::to_string(k) + " holds '" + got +
                                      "', written '" + want + "'");
        break;
      }
    }
  }

  std::string ExpectedValue(int k) {
    const protocol::Parameter* p = protocol::ParameterAt(k);
    switch (p->kind) {
      case protocol::ParameterKind::KeypadCodes: {
        Text codes = cfg_.KeypadCode0;
        for (const Text& c : cfg_.KeypadCode) codes += c;
        return codes.substr(0, 58);
      }
      case protocol::ParameterKind::Text: return p->text(cfg_).substr(0, 58);
      case protocol::ParameterKind::Number: {
        // Only the low 16 bits travel, as the quotient and remainder by 256.
        const int32_t v = p->number(cfg_);
        return std::to_string(((v / 256) & 0xFF) * 256 + ((v % 256) & 0xFF));
      }
      case protocol::ParameterKind::EventSlots: return p->mask(cfg_);
    }
    return {};
  }

  void SaveWorkingCopy() {
    const std::string before = ReadFile(cfgPath_);
    const int point = Pick(rng_, 0, 5);
    const int error = Chance(rng_, 50) ? ENOSPC : EACCES;
    if (point != 0) Fault(error == ENOSPC ? "save: disk full" : "save: permission refused");
    FailingFileOps ops(static_cast<FailingFileOps::Point>(point), error);
    bool saved = true;
    try {
      SaveSettingsFile(cfgPath_, cfg_, ops);
    } catch (const SettingsFileError&) {
      saved = false;
    }
    const std::string after = ReadFile(cfgPath_);
    const std::string wanted = FormatSettings(cfg_);
    if (CountCrLfLines(after) != kSettingsFileLines || (after != before && after != wanted) ||
        (saved && after != wanted) || (!saved && after != before)) {
      tally_.Violation(number_, std::string("zarvex.cfg is ") +
                                    (after == before ? "the old file" : "neither old nor new") +
                                    " after a save that " + (saved ? "succeeded" : "failed"));
    }
  }

  void Fault(const std::string& kind) { ++tally_.faults[kind]; }
  void Outcome(const std::string& what) { ++tally_.outcomes[what]; }

  Rng& rng_;
  Tally& tally_;
  long number_;
  std::string cfgPath_;
  bool held_ = false;
  TCFG collected_;  // the record as the write click found it

  // Declared so that each outlives what uses it.
  TCFG cfg_;
  link::THeadlessPanelView view_;
  hid::VirtualHidPlatform platform_;
  hid::THidSimpleLoop loop_;
  sim::VirtualPanel panel_{platform_};
  link::TPanelConnection connection_{cfg_, view_, platform_, loop_};
  link::THeadlessDriver driver_{connection_, loop_, link::THeadlessDriver::Pace::Fast};
};

}  // namespace

int main(int argc, char** argv) {
  long sessions = 1000;
  uint64_t seed = static_cast<uint64_t>(std::random_device{}());
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--sessions") sessions = std::atol(argv[i + 1]);
    else if (option == "--seed") seed = std::strtoull(argv[i + 1], nullptr, 10);
  }
  const auto dir = std::filesystem::temp_directory_path() /
                   ("zarvex-soak-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string cfgPath = (dir / "zarvex.cfg").string();
  {
    TCFG first;
    SaveSettingsFile(cfgPath, first);
  }
  std::printf("soak: %ld sessions, seed %llu\n", sessions, static_cast<unsigned long long>(seed));

  // The watchdog: a session that takes this long has hung.
  std::atomic<long> current{0};
  std::atomic<int64_t> startedAt{0};
  std::atomic<bool> finished{false};
  auto steadyNow = [] {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
  };
  std::thread watchdog([&] {
    while (!finished) {
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      if (steadyNow() - startedAt > kSessionDeadline.count()) {
        std::fprintf(stderr, "session %ld: VIOLATION: hung for %lld s\n", current.load(),
                     static_cast<long long>(kSessionDeadline.count()));
        std::_Exit(2);
      }
    }
  });

  Tally tally;
  Rng rng(seed);
  for (long s = 1; s <= sessions; ++s) {
    current = s;
    startedAt = steadyNow();
    Session(rng, tally, s, cfgPath).Run();
    ++tally.sessions;
  }
  finished = true;
  watchdog.join();
  std::filesystem::remove_all(dir);

  std::printf("sessions run: %ld\n", tally.sessions);
  long injected = 0;
  for (const auto& [kind, count] : tally.faults) injected += count;
  std::printf("faults injected: %ld\n", injected);
  for (const auto& [kind, count] : tally.faults) std::printf("  %-28s %ld\n", kind.c_str(), count);
  std::printf("outcomes:\n");
  for (const auto& [what, count] : tally.outcomes) std::printf("  %-34s %ld\n", what.c_str(), count);
  std::printf("invariant violations: %ld\n", tally.violations);
  return tally.violations == 0 ? 0 : 1;
}
