#include "protocol/configuration_write.h"

#include "protocol/parameter_table.h"
#include "protocol/protocol_codes.h"

namespace zarvex::protocol {

void ConfigurationWrite::ButtonWriteClick() {
  link_.view.CollectSettings();
  LinkState& s = link_.state;
  s.ReadState = 0;
  s.ReadStep = 0;
  s.WriteState = 1;
  s.WriteStep = 1;
  link_.view.SetProgressSmooth(false);
}

void ConfigurationWrite::SendWriteStep() {
  LinkState& s = link_.state;
  OutReport& out = link_.out;
  TCFG& cfg = link_.cfg;
  // While the modal "deleted" message of an acknowledgement is open, ticks go
  // on and WriteStep holds the command code (231); sending it as a step would
  // send a delete command made of leftover bytes. Wait until it is settled.
  const Parameter* p = ParameterAt(s.WriteStep);
  if (p == nullptr) return;
  out.PutHeader(kClassWrite, static_cast<uint8_t>(s.WriteStep));
  switch (p->kind) {
    case ParameterKind::KeypadCodes: {
      Text codes = cfg.KeypadCode0;
      for (const Text& code : cfg.KeypadCode) codes += code;
      out.PutText(codes);
      break;
    }
    case ParameterKind::Text:
      out.PutText(p->text(cfg));
      break;
    case ParameterKind::Number:
      out.PutNumber(p->number(cfg));
      break;
    case ParameterKind::EventSlots:
      out.PutText(p->mask(cfg));
      break;
  }
  link_.view.SetProgressPosition(s.WriteStep + 1);
  s.WriteState = 2;
  link_.SendOutReport();
}

void ConfigurationWrite::Acknowledge(int code) {
  LinkState& s = link_.state;
  s.WriteStep = code;
  if (code == cmdCodeDelete) link_.view.ShowMessage("Код(ы) удален(ы)");
  s.WriteStep = s.WriteStep + 1;
  if (s.WriteStep <= kParameterCount) {
    s.WriteState = 1;
    return;
  }
  link_.view.SetProgressSmooth(true);
  s.WriteState = 0;
  s.WriteStep = 0;
}

}  // namespace zarvex::protocol
