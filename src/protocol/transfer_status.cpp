#include "protocol/transfer_status.h"

#include "protocol/protocol_codes.h"

namespace zarvex::protocol {

namespace {
bool IsParameter(int code) { return code >= 1 && code <= kParameterCount; }
size_t Bit(int parameter) { return static_cast<size_t>(parameter - 1); }
std::string OfAll(size_t k) { return std::to_string(k) + " из 56"; }
}  // namespace

void TransferStatus::Connected() {
  readIncomplete_ = writeIncomplete_ = false;
  readRunning_ = writeRunning_ = false;
  readInterrupted_ = writeInterrupted_ = false;
  readCompleted_ = writeCompleted_ = false;
  keyListing_ = false;
  readAfterWrite_ = false;
  readWatch_.Stop();
  writeWatch_.Stop();
  otherWatch_.Stop();
  shows_ = Shows::Nothing;
  Refresh();
}

void TransferStatus::Disconnected() {
  readWatch_.Stop();
  writeWatch_.Stop();
  otherWatch_.Stop();
  keyListing_ = false;
  if (writeRunning_) EndWrite(false);
  if (readRunning_) EndRead(false);
  Refresh();
}

void TransferStatus::ReadClicked() {
  read_.reset();
  readRunning_ = true;
  readAfterWrite_ = false;
  readCompleted_ = readInterrupted_ = false;
  shows_ = Shows::Read;
}

void TransferStatus::WriteClicked() {
  sent_.reset();
  acknowledged_.reset();
  writeRunning_ = true;
  writeCompleted_ = writeInterrupted_ = false;
  shows_ = Shows::Write;
}

void TransferStatus::Sent(const OutReport& out, int64_t now) {
  const int code = out[4];
  // A command left unanswered is no longer awaited once the next request goes.
  if (otherWatch_.expired) otherWatch_.Stop();
  if (IsParameter(code)) {
    (out[3] == kClassQuery ? readWatch_ : writeWatch_).Start(code, now);
  } else {
    otherWatch_.Start(code, now);
  }
  if (out[3] != kClassWrite) return;
  if (IsParameter(code)) sent_.set(Bit(code));
  if (code == cmdKeyList) {
    keyListing_ = true;
    shows_ = Shows::KeyList;
  }
}

void TransferStatus::Received(const InReport& in, int64_t now) {
  if (in[1] != kFrameMark || in[2] != kFromPanel) return;
  const int kind = in[3];
  const int code = in[4];
  // A key listing is one request with many answers: each record restarts the
  // watch, and only the end of the list ends it. The read and write watches
  // follow the link's own states (Settle).
  if (otherWatch_.active) {
    const bool listing =
        otherWatch_.code == cmdKeyList && kind == kKindValue && code == rplKeyRecord;
    if (listing) {
      otherWatch_.Start(cmdKeyList, now);
    } else {
      otherWatch_.Stop();
    }
  }
  if (kind == kKindAck) {
    lastAck_ = code;
    // Only a step this write sent counts as written.
    if (IsParameter(code) && sent_.test(Bit(code))) acknowledged_.set(Bit(code));
  } else if (kind == kKindValue) {
    if (IsParameter(code) && readRunning_) read_.set(Bit(code));
    if (code == rplKeyListEnd && keyListing_) {
      keyListing_ = false;
      shows_ = Shows::KeyList;
    }
  }
}

void TransferStatus::Settle(const LinkState& s, bool panelHeld, int keyCount) {
  // An answer is awaited exactly while the link's machine waits for it.
  if (!panelHeld || s.ReadState != 2 || !IsParameter(s.ReadStep)) readWatch_.Stop();
  if (!panelHeld || s.WriteState != 2) writeWatch_.Stop();
  if (!panelHeld) otherWatch_.Stop();

  // Read: runs while a parameter is due or awaited.
  const bool readNow = panelHeld && IsParameter(s.ReadStep) && (s.ReadState == 1 || s.ReadState == 2);
  if (s.ReadStep == kParameterCount + 1 && lastReadStep_ == kParameterCount) {
    EndRead(read_.all());
  } else if (!readRunning_ && readNow) {
    // After a write click the next value report starts a whole new read.
    if (s.ReadStep == 1 && lastReadStep_ != 1) read_.reset();
    readRunning_ = true;
    readAfterWrite_ = true;
    readInterrupted_ = readCompleted_ = false;
    shows_ = Shows::Read;
  } else if (readRunning_ && !readNow) {
    EndRead(false);
  } else if (readRunning_ && s.ReadStep != lastReadStep_) {
    shows_ = Shows::Read;
  }
  lastReadStep_ = s.ReadStep;

  // Write: the acknowledgement of step 56 ends it; anything else that stops
  // it before then leaves the panel with part of the configuration.
  const bool writeNow =
      panelHeld && IsParameter(s.WriteStep) && (s.WriteState == 1 || s.WriteState == 2);
  if (lastAck_ == kParameterCount && sent_.test(Bit(kParameterCount))) {
    EndWrite(acknowledged_.all());
  } else if (!writeRunning_ && writeNow) {
    writeRunning_ = true;
    writeInterrupted_ = writeCompleted_ = false;
    shows_ = Shows::Write;
  } else if (writeRunning_ && !writeNow) {
    EndWrite(false);
  } else if (writeRunning_ && lastAck_ >= 0) {
    shows_ = Shows::Write;
  }
  lastAck_ = -1;

  if (keyCount != keyCount_) {
    keyCount_ = keyCount;
    shows_ = Shows::KeyList;
  }
  Refresh();
}

bool TransferStatus::Watching() const {
  for (const Watch* w : {&readWatch_, &writeWatch_, &otherWatch_}) {
    if (w->active && !w->expired) return true;
  }
  return false;
}

const TransferStatus::Watch* TransferStatus::TimedOutWatch() const {
  for (const Watch* w : {&writeWatch_, &readWatch_, &otherWatch_}) {
    if (w->active && w->expired) return w;
  }
  return nullptr;
}

int TransferStatus::OverdueCode() const {
  const Watch* w = TimedOutWatch();
  return w ? w->code : 0;
}

bool TransferStatus::Tick(int64_t now) {
  bool expired = false;
  for (Watch* w : {&readWatch_, &writeWatch_, &otherWatch_}) {
    if (!w->active || w->expired || now - w->since < kAnswerTimeoutMs) continue;
    w->expired = expired = true;
  }
  if (!expired) return false;
  // Until the answer comes, the panel holds only part of what was sent.
  if (writeRunning_) writeIncomplete_ = true;
  if (readRunning_) readIncomplete_ = true;
  Refresh();
  return true;
}

void TransferStatus::EndWrite(bool complete) {
  writeRunning_ = false;
  writeCompleted_ = complete;
  writeInterrupted_ = !complete;
  writeIncomplete_ = !complete;
  shows_ = Shows::Write;
}

void TransferStatus::EndRead(bool complete) {
  readRunning_ = false;
  readCompleted_ = complete;
  readInterrupted_ = !complete;
  readIncomplete_ = !complete;
  shows_ = Shows::Read;
}

void TransferStatus::Refresh() {
  TransferStatusText t;
  const bool timedOut = TimedOut();
  if (timedOut) {
    t.text = "Панель не отвечает (параметр " + std::to_string(OverdueCode()) + ")";
    t.alarm = true;
  } else {
    switch (shows_) {
      case Shows::Nothing:
        break;
      case Shows::Read: {
        const std::string reading = readAfterWrite_ ? "Чтение после записи" : "Чтение";
        if (readRunning_) t.text = reading + ": " + OfAll(read_.count());
        else if (readCompleted_) t.text = "Конфигурация прочитана";
        else if (readInterrupted_) t.text = reading + " прервано: " + OfAll(read_.count());
        if (readRunning_ || readCompleted_ || readInterrupted_) t.done = static_cast<int>(read_.count());
        break;
      }
      case Shows::Write:
        if (writeRunning_) t.text = "Запись: " + OfAll(acknowledged_.count());
        else if (writeCompleted_) t.text = "Конфигурация записана";
        else if (writeInterrupted_) t.text = "Запись прервана: записано " + OfAll(acknowledged_.count());
        if (writeRunning_ || writeCompleted_ || writeInterrupted_) {
          t.done = static_cast<int>(acknowledged_.count());
        }
        break;
      case Shows::KeyList:
        t.text = "Получено ключей: " + std::to_string(keyCount_);
        break;
    }
  }
  if (writeIncomplete_) {
    t.warning = "Конфигурация записана не полностью";
  } else if (readIncomplete_) {
    t.warning = "Конфигурация прочитана не полностью";
  } else if (timedOut) {
    t.warning = "Панель не отвечает";
  }
  shown_ = t;
}

}  // namespace zarvex::protocol
