#include "model/Format.h"

#include <unicode/datefmt.h>
#include <unicode/locid.h>
#include <unicode/numberformatter.h>
#include <unicode/reldatefmt.h>
#include <unicode/unistr.h>

#include <array>
#include <cmath>
#include <memory>

#include "platform/Environment.h"

namespace kelvane::Format {

namespace {

std::string utf8(const icu::UnicodeString& text) {
    std::string result;
    text.toUTF8String(result);
    return result;
}

// Fixed fraction digits, trailing zeros dropped, the locale's grouping and decimal marks.
std::string decimal(double value, int fractionDigits) {
    UErrorCode status = U_ZERO_ERROR;
    const auto formatter = icu::number::NumberFormatter::withLocale(icu::Locale::getDefault())
                               .precision(icu::number::Precision::maxFraction(fractionDigits))
                               .roundingMode(UNUM_ROUND_HALFUP);
    const auto text = formatter.formatDouble(value, status).toString(status);
    if (U_FAILURE(status)) {
        return std::to_string(static_cast<long long>(std::llround(value)));
    }
    return utf8(text);
}

}  // namespace

std::string bytes(std::int64_t count) {
    if (count <= 0) {
        return "0 KB";
    }
    struct Unit {
        const char* name;
        double size;
        int digits;
    };
    static constexpr std::array<Unit, 4> units{{
        {"KB", 1e3, 0},
        {"MB", 1e6, 1},
        {"GB", 1e9, 2},
        {"TB", 1e12, 2},
    }};
    for (std::size_t i = 0; i < units.size(); ++i) {
        const auto& unit = units[i];
        const double scale = std::pow(10.0, unit.digits);
        double rounded = std::floor(static_cast<double>(count) / unit.size * scale + 0.5) / scale;
        if (rounded >= 1000.0 && i + 1 < units.size()) {
            continue;  // 999,999 bytes rounds to 1,000 KB and so shows as 1 MB
        }
        if (rounded <= 0.0) {
            rounded = 1.0;  // any positive count under 1 KB
        }
        std::string text = decimal(rounded, unit.digits);
        text.append(" ").append(unit.name);
        return text;
    }
    return {};
}

std::string integer(std::int64_t count) {
    UErrorCode status = U_ZERO_ERROR;
    const auto text = icu::number::NumberFormatter::withLocale(icu::Locale::getDefault())
                          .formatInt(count, status)
                          .toString(status);
    if (U_FAILURE(status)) {
        return std::to_string(count);
    }
    return utf8(text);
}

std::string fileCount(std::int64_t count) {
    if (count == 1) {
        return "1 item";
    }
    return std::to_string(count) + " items";
}

std::string counted(std::int64_t count, std::string_view singular, std::string_view plural) {
    return integer(count) + " " + std::string(count == 1 ? singular : plural);
}

std::string unreadableFolders(std::int64_t count) {
    return integer(count) + (count == 1 ? " folder" : " folders") + " could not be read";
}

std::string date(Date value) {
    // DateFormat is not thread-safe, so each thread keeps its own.
    thread_local std::unique_ptr<icu::DateFormat> formatter(
        icu::DateFormat::createDateTimeInstance(icu::DateFormat::kMedium, icu::DateFormat::kShort));
    if (!formatter) {
        return {};
    }
    icu::UnicodeString text;
    const auto millis = static_cast<UDate>(value.time_since_epoch().count()) / 1000.0;
    formatter->format(millis, text);
    return utf8(text);
}

std::string relative(Date value, Date now) {
    using namespace std::chrono;
    thread_local std::unique_ptr<icu::RelativeDateTimeFormatter> formatter = [] {
        UErrorCode status = U_ZERO_ERROR;
        auto made = std::make_unique<icu::RelativeDateTimeFormatter>(
            icu::Locale::getDefault(), nullptr, UDAT_STYLE_LONG, UDISPCTX_CAPITALIZATION_NONE,
            status);
        return U_SUCCESS(status) ? std::move(made) : nullptr;
    }();
    if (!formatter) {
        return {};
    }
    const auto seconds = duration_cast<std::chrono::seconds>(value - now).count();
    const auto magnitude = seconds < 0 ? -seconds : seconds;
    struct Step {
        long long limit;
        long long size;
        URelativeDateTimeUnit unit;
    };
    // The largest unit of which at least one whole one lies between the dates.
    static constexpr std::array<Step, 7> steps{{
        {60, 1, UDAT_REL_UNIT_SECOND},
        {3600, 60, UDAT_REL_UNIT_MINUTE},
        {86400, 3600, UDAT_REL_UNIT_HOUR},
        {7 * 86400, 86400, UDAT_REL_UNIT_DAY},
        {30 * 86400, 7 * 86400, UDAT_REL_UNIT_WEEK},
        {365 * 86400, 30 * 86400, UDAT_REL_UNIT_MONTH},
        {0, 365 * 86400, UDAT_REL_UNIT_YEAR},
    }};
    for (const auto& step : steps) {
        if (step.limit != 0 && magnitude >= step.limit) {
            continue;
        }
        const auto amount = static_cast<double>(seconds / step.size);
        UErrorCode status = U_ZERO_ERROR;
        icu::UnicodeString text;
        // Zero still reads as past or future the way the dates lie, judged before the
        // difference is cut to whole seconds: half a second ago is past, and so is now.
        const double offset = amount == 0.0 && value <= now ? -0.0 : amount;
        formatter->formatNumeric(offset, step.unit, text, status);
        return U_SUCCESS(status) ? utf8(text) : std::string{};
    }
    return {};
}

std::string percent(double fraction) {
    return std::to_string(static_cast<long long>(std::llround(fraction * 100.0))) + "%";
}

std::string shortPath(std::string_view p) {
    const auto home = platform::homeDirectory();
    if (home == "/" || p.substr(0, home.size()) != home) {
        return std::string(p);
    }
    // Only at a component boundary: "/home/al" is no abbreviation of "/home/alice".
    if (p.size() > home.size() && p[home.size()] != '/') {
        return std::string(p);
    }
    std::string text("~");
    text.append(p.substr(home.size()));
    return text;
}

}  // namespace kelvane::Format
