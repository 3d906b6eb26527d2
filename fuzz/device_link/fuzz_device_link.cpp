// The device link as a state machine: input reports of any length and
// content, timer ticks, clicks, plugs and unplugs, in any order. After every
// step the link has sent only reports of the protocol, its states are in
// range, and it never says a write completed that the panel did not
// acknowledge step by step.
#include <bitset>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>

#include "link_harness.h"
#include "panel_replies.h"
#include "protocol/protocol_codes.h"

using namespace zarvex::protocol;
using namespace zarvex::protocol::testing;

namespace {

class Input {
 public:
  Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool Done() const { return at_ >= size_; }
  uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  Report Bytes(size_t n) {
    n = std::min(n, size_ - at_);
    Report r(data_ + at_, data_ + at_ + n);
    at_ += n;
    return r;
  }

 private:
  const uint8_t* data_;
  size_t size_, at_ = 0;
};

bool IsProtocolReport(const Report& r, int expectedLength) {
  if (static_cast<int>(r.size()) != expectedLength || r.size() < 7) return false;
  if (r[0] != kReportId || r[1] != kFrameMark || r[2] != kToPanel) return false;
  const int code = r[4];
  const bool parameter = code >= 1 && code <= kParameterCount;
  if (r[3] == kClassQuery) {
    return parameter || code == cmdDeviceType || code == cmdFirmwareVersion ||
           code == cmdWirelessList;
  }
  if (r[3] == kClassWrite) {
    return parameter || code == cmdCodeWrite || code == cmdCodeDelete || code == cmdKeyList;
  }
  return false;
}

struct Session : LinkHarness {
  Session() { link.SetClock([this] { return now; }); }

  // The held panel first: only its reports count.
  FakeDevice* Panel() {
    FakeDevice* any = nullptr;
    for (auto& d : bus.devices) {
      if (d->product != "ZARVEX - ZX4110") continue;
      if (d->lent) return d.get();
      if (any == nullptr) any = d.get();
    }
    return any;
  }

  // Keeps its own count of the write, apart from the link's.
  void Check() {
    const LinkState& s = link.State();
    if (s.ReadState < 0 || s.ReadState > 2 || s.WriteState < 0 || s.WriteState > 2) std::abort();
    for (auto* list : {&bus.devices, &bus.unplugged}) {
      for (auto& d : *list) {
        for (size_t k = checked[d.get()]; k < d->written.size(); ++k) {
          const Report& r = d->written[k];
          if (!IsProtocolReport(r, d->outputLength)) std::abort();
          if (r[3] == kClassWrite && r[4] >= 1 && r[4] <= kParameterCount) sent.set(r[4] - 1);
        }
        checked[d.get()] = d->written.size();
      }
    }
    if (view.transfer.text == "Конфигурация записана" && !acknowledged.all()) std::abort();
    view.calls.clear();  // bounded memory over long runs
    view.messages.clear();
    view.logLines.clear();
    view.sentLogLines.clear();
    view.transferTexts.clear();
    view.progressPositions.clear();
  }

  void FeedPanel(const Report& r) {
    FakeDevice* panel = Panel();
    if (panel == nullptr) return;
    if (r.size() >= 4 && r[0] == kFrameMark && r[1] == kFromPanel && r[2] == kKindAck &&
        r[3] >= 1 && r[3] <= kParameterCount && sent.test(r[3] - 1) && panel->lent) {
      acknowledged.set(r[3] - 1);
    }
    Feed(*panel, r);
  }

  int64_t now = 0;
  std::bitset<56> sent, acknowledged;
  std::map<const FakeDevice*, size_t> checked;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Session s;
  Input in(data, size);
  int steps = 0;
  while (!in.Done() && ++steps < 2000) {
    const uint8_t op = in.Byte();
    switch (op % 16) {
      case 0: s.FeedPanel(in.Bytes(in.Byte() % 70)); break;  // any report at all
      case 1: {  // an answer of the right shape for what was last asked
        FakeDevice* panel = s.Panel();
        const uint8_t code = (panel && !panel->written.empty()) ? panel->written.back()[4] : 1;
        if (in.Byte() & 1) s.FeedPanel(Ack(code));
        else s.FeedPanel(ValueNumber(code, static_cast<int32_t>(in.Byte()) * 7));
        break;
      }
      case 2: s.FeedPanel(KeyRecord(in.Byte() * 4, {1, 2, 3, 4, 5, 6, 7, in.Byte()})); break;
      case 3: s.FeedPanel(KeyListEnd()); break;
      case 4:
      case 5: s.now += in.Byte() * 10; s.link.TimerTimer(); break;
      case 6: s.link.ButtonReadClick(); break;
      case 7:
        s.sent.reset();
        s.acknowledged.reset();
        s.link.ButtonWriteClick();
        break;
      case 8: {
        const std::string lo = std::to_string(in.Byte() * 5), hi = std::to_string(in.Byte() * 5);
        switch (in.Byte() % 4) {
          case 0: s.link.ButtonWriteKeysClick(lo, hi); break;
          case 1: s.link.ButtonDelKeysClick(lo, hi); break;
          case 2: s.link.ButtonDelAllKeysClick(); break;
          default: s.link.ButtonReadKeysClick(); break;
        }
        break;
      }
      case 9: {
        const std::string n = std::to_string(in.Byte() % 12);
        switch (in.Byte() % 5) {
          case 0: s.link.ButtonWriteTrinketClick(n); break;
          case 1: s.link.ButtonDelSensorClick(n, in.Byte() & 1); break;
          case 2: s.link.ButtonDelAllTrinketClick(); break;
          case 3: s.link.ButtonWriteSensorClick(n, in.Byte() & 1); break;
          default: s.link.ButtonReadWireLessClick(); break;
        }
        break;
      }
      case 10: {  // plug a panel, maybe a second one, maybe without access
        FakeDevice& d = s.bus.Plug("ZARVEX - ZX4110");
        d.readWrite = (in.Byte() % 8) != 0;
        d.outputLength = (in.Byte() % 8 == 0) ? 80 : 65;
        s.link.HIDDeviceChange();
        break;
      }
      case 11:
        if (FakeDevice* panel = s.Panel()) s.Unplug(*panel);
        break;
      case 12: s.Plug("USB Keyboard"); break;
      case 13: s.view.logVisible = !s.view.logVisible; break;
      case 14: s.link.HIDDeviceChange(); break;
      default:
        if (!s.bus.devices.empty()) s.Unplug(*s.bus.devices.front());
        break;
    }
    s.Check();
  }
  return 0;
}
