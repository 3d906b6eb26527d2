#include "demo/session_checks.h"

#include <cstdio>

namespace zarvex::demo {

namespace {
void PrintLine(const QString& line) {
  std::printf("%s\n", line.toUtf8().constData());
  std::fflush(stdout);
}

QString Quoted(const QString& text) { return QLatin1Char('"') + text + QLatin1Char('"'); }
}  // namespace

bool SessionChecks::Check(bool passed, const QString& what, const QString& details) {
  if (passed) {
    ++passed_;
    PrintLine(QStringLiteral("ok ") + what);
  } else {
    ++failed_;
    PrintLine(QStringLiteral("FAIL ") + what + QStringLiteral(": ") +
              (details.isEmpty() ? QStringLiteral("not so") : details));
  }
  return passed;
}

bool SessionChecks::Equal(const QString& actual, const QString& expected, const QString& what) {
  return Check(actual == expected, what,
               QStringLiteral("got %1, expected %2").arg(Quoted(actual), Quoted(expected)));
}

bool SessionChecks::Equal(long long actual, long long expected, const QString& what) {
  return Check(actual == expected, what,
               QStringLiteral("got %1, expected %2").arg(actual).arg(expected));
}

void SessionChecks::TimedOut(const QString& wait, int timeoutMs, const QString& state) {
  Stop(QStringLiteral("wait for %1").arg(wait),
       QStringLiteral("timed out after %1 ms; %2").arg(timeoutMs).arg(state));
}

void SessionChecks::Stop(const QString& what, const QString& details) {
  Check(false, what, details);
  stopped_ = true;
  throw SessionStopped(what);
}

}  // namespace zarvex::demo
