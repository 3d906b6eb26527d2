#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace zarvex::sites {

// Times in the database are UTC, "YYYY-MM-DDTHH:MM:SS.mmmZ": the same
// instant reads the same on every laptop and sorts as text.
std::string NowUtc();
std::string UtcText(int64_t millisSinceEpoch);
// The instant of a stored time; none for text that is no such time.
std::optional<int64_t> UtcMillis(const std::string& utc);

// For the installer: the laptop's local time to the second.
std::string LocalText(const std::string& utc);

// A time of the old schema, local text without a zone
// ("YYYY-MM-DD HH:MM:SS[.mmm]"), taken as this laptop's zone.
std::optional<std::string> UtcFromLocalText(const std::string& local);

// Whether a time handed over from elsewhere can be true: not before the
// first panels were made, not later than a day ahead of this clock.
bool Plausible(const std::string& utc, const std::string& now);

}  // namespace zarvex::sites
