#pragma once

// The user's calendar for date arithmetic: start of day, weekday numbers (1 = Sunday …
// 7 = Saturday), adding days and setting a time of day, in one time zone. ICU's Gregorian
// calendar underneath. A value is not to be shared between threads (each query moves its
// calendar); copies are independent.

#include <memory>
#include <optional>
#include <string>

#include "platform/Date.h"

#include <unicode/uversion.h>

U_NAMESPACE_BEGIN
class Calendar;
U_NAMESPACE_END

namespace kelvane {

class Calendar {
  public:
    // The user's current calendar: default locale and time zone (from the environment).
    static Calendar current();
    // A calendar in the named time zone ("Europe/Berlin"), for tests and fixed schedules.
    static Calendar inTimeZone(const std::string& zoneID);

    Calendar(const Calendar& other);
    Calendar& operator=(const Calendar& other);
    ~Calendar();

    std::optional<Date> startOfDay(Date date) const;
    int weekday(Date date) const;
    std::optional<Date> addingDays(Date date, int days) const;
    // The same day at `minutes` after its midnight on the wall clock: a day that springs
    // forward still gets its 09:00, and a time the clock skips moves on by the skipped hour.
    std::optional<Date> atMinuteOfDay(Date day, int minutes) const;

  private:
    explicit Calendar(std::unique_ptr<icu::Calendar> calendar);
    std::unique_ptr<icu::Calendar> calendar_;
};

}  // namespace kelvane
