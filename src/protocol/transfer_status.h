#pragma once

#include <bitset>
#include <cstdint>
#include <string>

#include "protocol/link_context.h"
#include "protocol/report_frame.h"
#include "protocol/transfer_status_text.h"

namespace zarvex::protocol {

// Follows the link's transfers and turns them into TransferStatusText. It
// only watches: it never changes a byte sent or a state of the link. The
// link reports each send and each report received, and after every event it
// handles, the state it left (Settle). Times are milliseconds on a steady
// clock.
//
// A write counts as complete only when every one of the 56 steps sent since
// the write click was acknowledged; a read only when all 56 parameters
// arrived since the read began. Anything less that ends is "interrupted",
// and says how far it got.
class TransferStatus {
 public:
  static constexpr int64_t kAnswerTimeoutMs = 1000;

  // A panel newly held: earlier warnings no longer apply to it.
  void Connected();
  // The held panel is gone; whatever ran is interrupted.
  void Disconnected();
  void ReadClicked();
  void WriteClicked();

  void Sent(const OutReport& out, int64_t now);
  // Before the report is dispatched; `keyCount` is the key rows listed.
  void Received(const InReport& in, int64_t now);
  // After every event the link handled, with the state it left.
  void Settle(const LinkState& state, bool panelHeld, int keyCount);
  // The answer watch; true when it has just run out.
  bool Tick(int64_t now);

  // An answer is awaited and has not yet timed out, so ticks are needed.
  bool Watching() const;
  const TransferStatusText& Shown() const { return shown_; }
  bool TimedOut() const { return TimedOutWatch() != nullptr; }
  // The code of the request whose answer is overdue; 0 when none is.
  int OverdueCode() const;

 private:
  enum class Shows { Nothing, Read, Write, KeyList };
  // One awaited answer: a read parameter, a write step, or anything else
  // (identification, key and wireless commands). A read and a write may run
  // side by side, so each has its own.
  struct Watch {
    bool active = false, expired = false;
    int code = 0;
    int64_t since = 0;
    void Start(int c, int64_t now) { active = true, expired = false, code = c, since = now; }
    void Stop() { active = expired = false; }
  };
  const Watch* TimedOutWatch() const;
  void Refresh();
  void EndWrite(bool complete);
  void EndRead(bool complete);

  // One bit per parameter 1..56, bit 0 for parameter 1.
  std::bitset<56> read_, sent_, acknowledged_;

  bool readRunning_ = false, writeRunning_ = false;
  bool readCompleted_ = false, writeCompleted_ = false;
  bool readInterrupted_ = false, writeInterrupted_ = false;
  bool readIncomplete_ = false, writeIncomplete_ = false;  // the warnings
  bool keyListing_ = false;
  // The read after a write that the next value report starts without a click.
  bool readAfterWrite_ = false;
  int keyCount_ = 0;
  int32_t lastReadStep_ = 200;
  int lastAck_ = -1;  // acknowledgement seen in the current event

  Watch readWatch_, writeWatch_, otherWatch_;

  Shows shows_ = Shows::Nothing;
  TransferStatusText shown_;
};

}  // namespace zarvex::protocol
