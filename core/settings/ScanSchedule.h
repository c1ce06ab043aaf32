#pragma once

// The automatic quick-scan schedule ("schedule.json") and its date computations.

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Date.h"
#include "support/Calendar.h"
#include "support/Json.h"
#include "support/RawEnum.h"

namespace kelvane {

enum class ScheduleMode { manual, daily, weekly };

template <>
struct EnumCases<ScheduleMode> {
    static constexpr std::array table{
        std::pair{ScheduleMode::manual, std::string_view{"manual"}},
        std::pair{ScheduleMode::daily, std::string_view{"daily"}},
        std::pair{ScheduleMode::weekly, std::string_view{"weekly"}},
    };
};

std::string_view title(ScheduleMode mode);

struct ScanSchedule {
    ScheduleMode mode = ScheduleMode::manual;
    int hour = 9;
    int minute = 0;
    int weekday = 2;  // 1 = Sunday … 7 = Saturday
    std::optional<Date> lastRun;

    bool operator==(const ScanSchedule&) const = default;

    // A slot has passed that no scheduled scan has started for yet.
    bool isDue(Date now, const Calendar& calendar) const;
    // The next slot strictly after `now`.
    std::optional<Date> nextDue(Date now, const Calendar& calendar) const;
    // Today's slot (or this week's) when it has passed; earlier slots are not considered.
    std::optional<Date> mostRecentScheduledDate(Date now, const Calendar& calendar) const;

    static ScanSchedule fromJson(const json::Json& object);
    json::Json toJson() const;
};

struct ScheduleStore {
    std::string file;

    // The stored schedule, or the default one (manual, 9:00, Monday) when there is none.
    ScanSchedule load() const;
    // Throws FileSystemError.
    void save(const ScanSchedule& schedule) const;
};

}  // namespace kelvane
