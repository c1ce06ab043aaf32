#include <gtest/gtest.h>
#include <unicode/locid.h>

#include "files/AppPaths.h"
#include "model/Format.h"
#include "support/Json.h"

using namespace kelvane;

TEST(FormatBytes, DecimalUnitsChosenAfterRounding) {
    struct Case {
        std::int64_t bytes;
        const char* text;
    };
    const Case cases[] = {
        {0, "0 KB"},
        {-5, "0 KB"},
        {1, "1 KB"},
        {999, "1 KB"},
        {1'499, "1 KB"},
        {1'500, "2 KB"},
        {999'499, "999 KB"},
        {999'999, "1 MB"},
        {1'000'000, "1 MB"},
        {1'500'000, "1.5 MB"},
        {12'345'678, "12.3 MB"},
        {999'960'000, "1 GB"},
        {1'234'567'890, "1.23 GB"},
        {5'000'000'000'000, "5 TB"},
        {1'234'000'000'000'000, "1,234 TB"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Format::bytes(c.bytes), c.text) << c.bytes;
    }
}

TEST(FormatBytes, FollowsTheLocaleSeparators) {
    UErrorCode status = U_ZERO_ERROR;
    const auto saved = icu::Locale::getDefault();
    icu::Locale::setDefault(icu::Locale("de_DE"), status);
    EXPECT_EQ(Format::bytes(1'500'000), "1,5 MB");
    icu::Locale::setDefault(saved, status);
}

TEST(FormatFileCount, SingularOnlyForOne) {
    EXPECT_EQ(Format::fileCount(1), "1 item");
    EXPECT_EQ(Format::fileCount(0), "0 items");
    EXPECT_EQ(Format::fileCount(12345), "12345 items");
    EXPECT_EQ(Format::counted(1, "group", "groups"), "1 group");
    EXPECT_EQ(Format::counted(0, "group", "groups"), "0 groups");
}

TEST(FormatPercent, NearestWholePercentHalvesAwayFromZero) {
    EXPECT_EQ(Format::percent(0.5), "50%");
    EXPECT_EQ(Format::percent(0.004), "0%");
    EXPECT_EQ(Format::percent(0.125), "13%");
    EXPECT_EQ(Format::percent(1.0), "100%");
}

TEST(FormatShortPath, AbbreviatesTheHomeFolderOnly) {
    const auto home = AppPaths::home();
    EXPECT_EQ(Format::shortPath(home), "~");
    EXPECT_EQ(Format::shortPath(home + "/Downloads/a.iso"), "~/Downloads/a.iso");
    EXPECT_EQ(Format::shortPath("/etc/hosts"), "/etc/hosts");
    // A sibling whose name extends the home folder's is not inside it.
    EXPECT_EQ(Format::shortPath(home + "2/x"), home + "2/x");
}

TEST(FormatDate, AbbreviatedDateWithShortTimeInTheUserTimeZone) {
    const auto date = *json::parseDate("2026-12-10T16:05:00Z");
    // CLDR puts a narrow no-break space before the day period.
    EXPECT_EQ(Format::date(date), "Dec 10, 2026, 4:05\u202fPM");
}

TEST(FormatRelative, FullUnitNamesPastAndFuture) {
    const auto now = *json::parseDate("2026-12-10T12:00:00Z");
    using namespace std::chrono;
    struct Case {
        seconds offset;
        const char* text;
    };
    const Case cases[] = {
        {-seconds(45), "45 seconds ago"}, {-minutes(5), "5 minutes ago"},
        {-hours(2), "2 hours ago"},       {-hours(24), "1 day ago"},
        {hours(72), "in 3 days"},         {-days(14), "2 weeks ago"},
        {-days(60), "2 months ago"},      {-days(400), "1 year ago"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Format::relative(now + c.offset, now), c.text) << c.offset.count();
    }
    // Under a second away: the sign comes from the dates, not from the whole seconds.
    EXPECT_EQ(Format::relative(now - milliseconds(400), now), "0 seconds ago");
    EXPECT_EQ(Format::relative(now, now), "0 seconds ago");
    EXPECT_EQ(Format::relative(now + milliseconds(400), now), "in 0 seconds");
}
