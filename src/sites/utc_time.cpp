#include "sites/utc_time.h"

#include <chrono>
#include <cstdio>
#include <ctime>

#include "settings/local_time.h"

namespace zarvex::sites {

namespace {

constexpr int64_t kDayMs = 24LL * 3600 * 1000;
// 2000-01-01T00:00:00Z: nothing of a Zarvex panel is older.
constexpr int64_t kEarliestMs = 946684800000LL;

// Days from 1970-01-01 of a proleptic Gregorian date (Howard Hinnant's algorithm),
// so UTC needs neither timegm nor _mkgmtime.
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

struct TFields {
  int year, month, day, hour, minute, second, millis;
};

TFields CivilFromMillis(int64_t ms) {
  int64_t days = ms >= 0 ? ms / kDayMs : (ms - kDayMs + 1) / kDayMs;
  int64_t rest = ms - days * kDayMs;
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(days - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned d = doy - (153 * mp + 2) / 5 + 1;
  const unsigned m = mp < 10 ? mp + 3 : mp - 9;
  const int64_t y = static_cast<int64_t>(yoe) + era * 400 + (m <= 2);
  TFields f{};
  f.year = static_cast<int>(y);
  f.month = static_cast<int>(m);
  f.day = static_cast<int>(d);
  f.hour = static_cast<int>(rest / 3600000);
  rest %= 3600000;
  f.minute = static_cast<int>(rest / 60000);
  rest %= 60000;
  f.second = static_cast<int>(rest / 1000);
  f.millis = static_cast<int>(rest % 1000);
  return f;
}

// "YYYY-MM-DD?HH:MM:SS" with an optional ".mmm"; `separator` is 'T' or ' '.
bool ParseFields(const std::string& s, char separator, TFields& f, size_t& end) {
  int used = 0;
  char sep = 0;
  if (std::sscanf(s.c_str(), "%4d-%2d-%2d%c%2d:%2d:%2d%n", &f.year, &f.month, &f.day, &sep, &f.hour, &f.minute,
                  &f.second, &used) != 7 ||
      used != 19 || sep != separator) {
    return false;
  }
  f.millis = 0;
  end = 19;
  if (s.size() >= 23 && s[19] == '.') {
    int ms = 0, msUsed = 0;
    if (std::sscanf(s.c_str() + 20, "%3d%n", &ms, &msUsed) != 1 || msUsed != 3) return false;
    f.millis = ms;
    end = 23;
  }
  return f.month >= 1 && f.month <= 12 && f.day >= 1 && f.day <= 31 && f.hour <= 23 && f.minute <= 59 &&
         f.second <= 60 && f.hour >= 0 && f.minute >= 0 && f.second >= 0;
}

int64_t MillisOf(const TFields& f) {
  return (DaysFromCivil(f.year, static_cast<unsigned>(f.month), static_cast<unsigned>(f.day)) * 86400 +
          f.hour * 3600 + f.minute * 60 + f.second) * 1000 + f.millis;
}

}  // namespace

std::string UtcText(int64_t ms) {
  const TFields f = CivilFromMillis(ms);
  char text[40];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", f.year, f.month, f.day, f.hour, f.minute,
                f.second, f.millis);
  return text;
}

std::string NowUtc() {
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  return UtcText(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

std::optional<int64_t> UtcMillis(const std::string& utc) {
  TFields f{};
  size_t end = 0;
  if (!ParseFields(utc, 'T', f, end) || utc.size() != end + 1 || utc[end] != 'Z') return std::nullopt;
  return MillisOf(f);
}

std::string LocalText(const std::string& utc) {
  const std::optional<int64_t> ms = UtcMillis(utc);
  if (!ms) return utc;
  const std::time_t seconds = static_cast<std::time_t>(*ms >= 0 ? *ms / 1000 : (*ms - 999) / 1000);
  const std::tm t = LocalTime(seconds);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &t);
  return text;
}

std::optional<std::string> UtcFromLocalText(const std::string& local) {
  TFields f{};
  size_t end = 0;
  if (!ParseFields(local, ' ', f, end) || end != local.size()) return std::nullopt;
  std::tm t{};
  t.tm_year = f.year - 1900;
  t.tm_mon = f.month - 1;
  t.tm_mday = f.day;
  t.tm_hour = f.hour;
  t.tm_min = f.minute;
  t.tm_sec = f.second;
  t.tm_isdst = -1;  // the zone's rule for that date says
  const std::time_t seconds = std::mktime(&t);
  if (seconds == static_cast<std::time_t>(-1)) return std::nullopt;
  return UtcText(static_cast<int64_t>(seconds) * 1000 + f.millis);
}

bool Plausible(const std::string& utc, const std::string& now) {
  const std::optional<int64_t> when = UtcMillis(utc);
  const std::optional<int64_t> current = UtcMillis(now);
  return when && current && *when >= kEarliestMs && *when <= *current + kDayMs;
}

}  // namespace zarvex::sites
