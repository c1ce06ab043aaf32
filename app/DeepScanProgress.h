#pragma once

// How the deep scan's three stages map onto one progress fraction: 0 to 0.45 over the rules,
// 0.45 to 0.70 over the first 200,000 large-file candidates, then 0.72 to 0.98 over the first
// 150,000 duplicate candidates. It never reaches 1 before the end.

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "model/Format.h"
#include "model/ScanRecords.h"

namespace kelvane::deepScan {

inline double junkFraction(const ScanProgress& p) {
    if (p.totalRules < 1) {
        return 0.0;
    }
    return std::min(static_cast<double>(p.completedRules) / static_cast<double>(p.totalRules),
                    1.0) *
           0.45;
}

inline double largeFraction(std::int64_t checked) {
    return 0.45 + std::min(static_cast<double>(checked) / 200'000.0 * 0.25, 0.25);
}

inline double duplicateFraction(std::int64_t checked) {
    return 0.72 + std::min(static_cast<double>(checked) / 150'000.0 * 0.26, 0.26);
}

// "Large files: 12,345 checked", the count grouped as the user's locale groups digits.
inline std::string checkedText(std::string_view stage, std::int64_t checked) {
    return std::string(stage) + ": " + Format::integer(checked) + " checked";
}

}  // namespace kelvane::deepScan
