#pragma once

// The text every screen uses for sizes, counts, dates, percentages and paths. Locale-aware
// parts follow the process's default locale and time zone (ICU reads them from the
// environment).

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Date.h"

namespace kelvane::Format {

// Decimal units (1 KB = 1,000 bytes), KB with no fraction digits, MB with one, GB and TB with
// two, trailing zeros dropped; the unit is chosen after rounding; "0 KB" for 0 or less and
// "1 KB" for anything positive below that.
std::string bytes(std::int64_t count);
std::string fileCount(std::int64_t count);
// "1 group", "1,204 groups": the count in the locale's digits and the word that agrees.
std::string counted(std::int64_t count, std::string_view singular, std::string_view plural);
// "1 folder could not be read", "12 folders could not be read".
std::string unreadableFolders(std::int64_t count);
// Digits grouped as the user's locale groups them: 12,345.
std::string integer(std::int64_t count);
// Abbreviated date with shortened time, in the user's locale and time zone.
std::string date(Date value);
// "3 days ago", "in 2 hours": full unit names, numbers in digits.
std::string relative(Date value, Date now);
// Nearest whole percent, halves away from zero: 0.125 → "13%".
std::string percent(double fraction);
// The home folder's own path becomes "~"; a path below it "~/…"; anything else is unchanged.
std::string shortPath(std::string_view path);

}  // namespace kelvane::Format
