#pragma once

#include <chrono>
#include <cstdint>
#include <ctime>

namespace kelvane {

// Microsecond resolution keeps the distant past (year 1) inside an int64 range, which
// nanoseconds cannot reach.
using Date = std::chrono::time_point<std::chrono::system_clock, std::chrono::microseconds>;

inline Date now() {
    return std::chrono::time_point_cast<std::chrono::microseconds>(
        std::chrono::system_clock::now());
}

// 0001-01-01T00:00:00Z: the neutral answer for a date the file system cannot report.
inline constexpr Date distantPast() {
    return Date{std::chrono::seconds{-62135596800LL}};
}

inline constexpr Date dateFromTimespec(const timespec& ts) {
    return Date{std::chrono::seconds{ts.tv_sec} +
                std::chrono::microseconds{static_cast<std::int64_t>(ts.tv_nsec) / 1000}};
}

inline constexpr Date dateFromSeconds(double secondsSince1970) {
    return Date{std::chrono::microseconds{static_cast<std::int64_t>(secondsSince1970 * 1e6)}};
}

inline constexpr double secondsSince1970(Date date) {
    return static_cast<double>(date.time_since_epoch().count()) / 1e6;
}

}  // namespace kelvane
