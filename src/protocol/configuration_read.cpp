#include "protocol/configuration_read.h"

#include <limits>

#include "protocol/parameter_table.h"
#include "protocol/protocol_codes.h"

namespace zarvex::protocol {

namespace {
constexpr int kCodeLength = 4;

// Characters 1..4 of parameter 1 are KeypadCode0, then four per code; a short
// text leaves the codes past its end short or empty.
void StoreKeypadCodes(TCFG& cfg, const Text& text) {
  auto piece = [&text](size_t index) {
    const size_t start = index * kCodeLength;
    return start < text.size() ? text.substr(start, kCodeLength) : Text();
  };
  cfg.KeypadCode0 = piece(0);
  for (size_t k = 0; k < cfg.KeypadCode.size(); ++k) cfg.KeypadCode[k] = piece(k + 1);
}
}  // namespace

void ConfigurationRead::ButtonReadClick() {
  LinkState& s = link_.state;
  s.ReadState = 1;
  s.ReadStep = 1;
  s.WriteState = 0;
  s.WriteStep = 0;
  link_.view.SetProgressSmooth(false);
}

void ConfigurationRead::SendReadRequest() {
  LinkState& s = link_.state;
  OutReport& out = link_.out;
  // Only bytes 1..6: bytes 7 on carry what the previous message left.
  out.PutHeader(kClassQuery, static_cast<uint8_t>(s.ReadStep));
  out[5] = kTypeNumber;
  out[6] = 4;
  s.ReadState = 2;
  link_.view.SetProgressPosition(s.ReadStep + 1);
  link_.SendOutReport();
}

void ConfigurationRead::StoreParameter(int number) {
  const Parameter* p = ParameterAt(number);
  if (p == nullptr) return;
  TCFG& cfg = link_.cfg;
  const InReport& in = link_.in;
  switch (p->kind) {
    case ParameterKind::KeypadCodes:
      StoreKeypadCodes(cfg, in.GetText());
      break;
    case ParameterKind::Text:
      p->text(cfg) = in.GetText();
      break;
    case ParameterKind::Number:
      p->number(cfg) = in.GetNumber();
      break;
    case ParameterKind::EventSlots: {
      // Sixteen bytes from byte 6; the length byte is not looked at.
      auto& slots = p->slots(cfg);
      for (int k = 0; k < kEventSlots; ++k) slots[static_cast<size_t>(k)] = in[6 + k] - 48;
      BuildEventMasks(cfg);
      break;
    }
  }
}

void ConfigurationRead::DeviceTypeReply() {
  link_.state.VersionQueryCountdown = 1;
  // Other type numbers have no known name; the label keeps what it shows.
  if (link_.in.GetNumber() == 1) link_.view.SetDeviceType("Zarvex GSM");
}

void ConfigurationRead::FirmwareVersionReply() {
  const int32_t version = link_.in.GetNumber();
  link_.cfg.FirmwareVersion = version;
  link_.view.SetDeviceVersion(std::to_string(version));
  if (version >= kSecondModelVersion) link_.view.SetDeviceType("Zarvex GSM ZX-4110");
  link_.view.ApplyFirmwareRules();
}

void ConfigurationRead::Advance() {
  LinkState& s = link_.state;
  // Stops counting at the top instead of overflowing; any value above 57
  // means the same (no read running).
  if (s.ReadStep < std::numeric_limits<int32_t>::max()) ++s.ReadStep;
  if (s.ReadStep >= 1 && s.ReadStep <= kParameterCount) {
    s.ReadState = 1;
    return;
  }
  s.ReadState = 0;
  if (s.ReadStep == kParameterCount + 1) {
    link_.view.ShowSettings();
    link_.view.SetProgressSmooth(true);
  }
}

}  // namespace zarvex::protocol
