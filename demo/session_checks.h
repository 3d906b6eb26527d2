#pragma once
// The verdict of a scripted session: one printed line per check, "ok <what>"
// or "FAIL <what>: <details>", and a time-out that ends the session at once,
// since every later step stands on the one that did not finish.

#include <QString>

#include <stdexcept>

namespace zarvex::demo {

// Ends a session that cannot go on: a wait ran out, or a control a person
// would use is missing or cannot be used. Carries what it was.
class SessionStopped : public std::runtime_error {
 public:
  explicit SessionStopped(const QString& what) : std::runtime_error(what.toStdString()) {}
};

class SessionChecks {
 public:
  // Exit codes of the demo's scripted run.
  static constexpr int kAllPassed = 0;
  static constexpr int kCheckFailed = 1;
  static constexpr int kStopped = 2;

  // Prints the line and counts a failure; returns `passed`.
  bool Check(bool passed, const QString& what, const QString& details = {});
  // The usual comparison: the details name both values.
  bool Equal(const QString& actual, const QString& expected, const QString& what);
  bool Equal(long long actual, long long expected, const QString& what);
  // Prints the failed wait and throws SessionStopped; `state` says what was
  // seen instead.
  [[noreturn]] void TimedOut(const QString& wait, int timeoutMs, const QString& state);
  // Prints the failure and throws SessionStopped.
  [[noreturn]] void Stop(const QString& what, const QString& details);

  int Passed() const { return passed_; }
  int Failed() const { return failed_; }
  bool Stopped() const { return stopped_; }
  int ExitCode() const { return stopped_ ? kStopped : failed_ == 0 ? kAllPassed : kCheckFailed; }

 private:
  int passed_ = 0;
  int failed_ = 0;
  bool stopped_ = false;
};

}  // namespace zarvex::demo
