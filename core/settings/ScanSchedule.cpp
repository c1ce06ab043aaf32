#include "settings/ScanSchedule.h"

#include "files/AppPaths.h"
#include "platform/FileIO.h"

namespace kelvane {

std::string_view title(ScheduleMode mode) {
    switch (mode) {
        case ScheduleMode::manual:
            return "Manual";
        case ScheduleMode::daily:
            return "Daily";
        case ScheduleMode::weekly:
            return "Weekly";
    }
    return {};
}

namespace {

int slotMinutes(const ScanSchedule& schedule) {
    return schedule.hour * 60 + schedule.minute;
}

}  // namespace

std::optional<Date> ScanSchedule::mostRecentScheduledDate(Date now,
                                                          const Calendar& calendar) const {
    if (mode == ScheduleMode::manual) {
        return std::nullopt;
    }
    const auto today = calendar.startOfDay(now);
    if (!today) {
        return std::nullopt;
    }
    const int daysBack =
        mode == ScheduleMode::daily ? 0 : ((calendar.weekday(now) - weekday) % 7 + 7) % 7;
    const auto day = calendar.addingDays(*today, -daysBack);
    if (!day) {
        return std::nullopt;
    }
    const auto slot = calendar.atMinuteOfDay(*day, slotMinutes(*this)).value_or(*day);
    if (slot > now) {
        return std::nullopt;
    }
    return slot;
}

bool ScanSchedule::isDue(Date now, const Calendar& calendar) const {
    if (mode == ScheduleMode::manual) {
        return false;
    }
    const auto slot = mostRecentScheduledDate(now, calendar);
    if (!slot || (lastRun && *lastRun >= *slot)) {
        return false;
    }
    return now >= *slot;
}

std::optional<Date> ScanSchedule::nextDue(Date now, const Calendar& calendar) const {
    if (mode == ScheduleMode::manual) {
        return std::nullopt;
    }
    const auto today = calendar.startOfDay(now);
    if (!today) {
        return std::nullopt;
    }
    const int daysAhead =
        mode == ScheduleMode::daily ? 0 : ((weekday - calendar.weekday(now)) % 7 + 7) % 7;
    const auto day = calendar.addingDays(*today, daysAhead);
    if (!day) {
        return std::nullopt;
    }
    const auto candidate = calendar.atMinuteOfDay(*day, slotMinutes(*this));
    if (!candidate) {
        return std::nullopt;
    }
    if (*candidate > now) {
        return candidate;
    }
    const auto later = calendar.addingDays(*day, mode == ScheduleMode::daily ? 1 : 7);
    if (!later) {
        return std::nullopt;
    }
    return calendar.atMinuteOfDay(*later, slotMinutes(*this));
}

ScanSchedule ScanSchedule::fromJson(const json::Json& object) {
    json::requireObject(object, "The schedule");
    ScanSchedule schedule;
    schedule.mode = json::requireEnum<ScheduleMode>(object, "mode");
    auto integer = [&](const char* key) {
        const auto value = json::requireInt(object, key);
        if (value < INT32_MIN || value > INT32_MAX) {
            throw json::DecodeError("The value of “" + std::string(key) + "” is out of range.");
        }
        return static_cast<int>(value);
    };
    schedule.hour = integer("hour");
    schedule.minute = integer("minute");
    schedule.weekday = integer("weekday");
    schedule.lastRun = json::optionalDate(object, "lastRun");
    return schedule;
}

json::Json ScanSchedule::toJson() const {
    json::Json object{
        {"mode", rawValue(mode)}, {"hour", hour}, {"minute", minute}, {"weekday", weekday}};
    if (lastRun) {
        object["lastRun"] = json::formatDate(*lastRun);
    }
    return object;
}

ScanSchedule ScheduleStore::load() const {
    try {
        return ScanSchedule::fromJson(json::parse(platform::readFile(file)));
    } catch (const std::exception&) {
        return ScanSchedule{};
    }
}

void ScheduleStore::save(const ScanSchedule& schedule) const {
    AppPaths::ensureSupportDirectory();
    platform::writeFileAtomically(file, json::dump(schedule.toJson()));
}

}  // namespace kelvane
