#pragma once

#include "protocol/link_context.h"

namespace zarvex::protocol {

// Reads the 56 parameters one exchange at a time and handles the two
// identification replies. ReadStep counts value reports of every kind, not
// parameters: that is the panel protocol's behaviour and is kept.
class ConfigurationRead {
 public:
  explicit ConfigurationRead(LinkContext& link) : link_(link) {}

  void ButtonReadClick();
  void SendReadRequest();  // timer, ReadState 1

  // Value report for parameter 1..56 in InReport; the parameter stored is
  // the one the report names, whatever ReadStep says.
  void StoreParameter(int number);
  void DeviceTypeReply();
  void FirmwareVersionReply();

  // After every value report, whatever its code.
  void Advance();

 private:
  LinkContext& link_;
};

}  // namespace zarvex::protocol
