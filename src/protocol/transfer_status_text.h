#pragma once

#include <string>

namespace zarvex::protocol {

// What the installer is told about a transfer, beside the protocol's own
// progress bar: a line of text, whether it is an alarm (shown red), and a
// warning that stays until a completed transfer or a new connection clears
// it. Empty texts show nothing. `done` is the count of the 56 parameters the
// text tells (read or written), -1 when the text counts none, so the bar's
// fill can say the same.
struct TransferStatusText {
  std::string text;
  bool alarm = false;
  std::string warning;
  int done = -1;
  bool operator==(const TransferStatusText&) const = default;
};

}  // namespace zarvex::protocol
