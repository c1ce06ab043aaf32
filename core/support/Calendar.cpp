#include "support/Calendar.h"

#include <unicode/calendar.h>
#include <unicode/gregocal.h>
#include <unicode/timezone.h>

#include <cmath>

namespace kelvane {

namespace {

UDate toUDate(Date date) {
    return static_cast<UDate>(date.time_since_epoch().count()) / 1000.0;
}

Date fromUDate(UDate millis) {
    return Date{
        std::chrono::microseconds{static_cast<std::int64_t>(std::llround(millis * 1000.0))}};
}

}  // namespace

Calendar::Calendar(std::unique_ptr<icu::Calendar> calendar) : calendar_(std::move(calendar)) {}

Calendar Calendar::current() {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Calendar> calendar(
        new icu::GregorianCalendar(icu::TimeZone::createDefault(), status));
    return Calendar(std::move(calendar));
}

Calendar Calendar::inTimeZone(const std::string& zoneID) {
    UErrorCode status = U_ZERO_ERROR;
    auto* zone = icu::TimeZone::createTimeZone(icu::UnicodeString::fromUTF8(zoneID));
    std::unique_ptr<icu::Calendar> calendar(new icu::GregorianCalendar(zone, status));
    return Calendar(std::move(calendar));
}

Calendar::Calendar(const Calendar& other) : calendar_(other.calendar_->clone()) {}

Calendar& Calendar::operator=(const Calendar& other) {
    if (this != &other) {
        calendar_.reset(other.calendar_->clone());
    }
    return *this;
}

Calendar::~Calendar() = default;

std::optional<Date> Calendar::startOfDay(Date date) const {
    return atMinuteOfDay(date, 0);
}

int Calendar::weekday(Date date) const {
    UErrorCode status = U_ZERO_ERROR;
    calendar_->setTime(toUDate(date), status);
    const int day = calendar_->get(UCAL_DAY_OF_WEEK, status);
    return U_FAILURE(status) ? 1 : day;
}

std::optional<Date> Calendar::addingDays(Date date, int days) const {
    UErrorCode status = U_ZERO_ERROR;
    calendar_->setTime(toUDate(date), status);
    calendar_->add(UCAL_DATE, days, status);
    const auto result = calendar_->getTime(status);
    if (U_FAILURE(status)) {
        return std::nullopt;
    }
    return fromUDate(result);
}

std::optional<Date> Calendar::atMinuteOfDay(Date day, int minutes) const {
    UErrorCode status = U_ZERO_ERROR;
    calendar_->setTime(toUDate(day), status);
    calendar_->set(UCAL_HOUR_OF_DAY, 0);
    calendar_->set(UCAL_MINUTE, minutes);  // lenient: 540 minutes is 09:00
    calendar_->set(UCAL_SECOND, 0);
    calendar_->set(UCAL_MILLISECOND, 0);
    const auto result = calendar_->getTime(status);
    if (U_FAILURE(status)) {
        return std::nullopt;
    }
    return fromUDate(result);
}

}  // namespace kelvane
