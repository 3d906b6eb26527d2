#pragma once

#include "protocol/link_context.h"

namespace zarvex::protocol {

// Writes the 56 parameters, each after the acknowledgement of the one
// before, and handles every acknowledgement the panel sends. The next step
// is the acknowledged number + 1, not the machine's own count; the panel
// protocol works that way and it is kept.
class ConfigurationWrite {
 public:
  explicit ConfigurationWrite(LinkContext& link) : link_(link) {}

  void ButtonWriteClick();
  void SendWriteStep();  // timer, WriteState 1
  void Acknowledge(int code);

 private:
  LinkContext& link_;
};

}  // namespace zarvex::protocol
