// Every test runs with a fixed locale and time zone and a temporary home folder of its own,
// so nothing depends on the machine or touches the real home folder.

#include <gtest/gtest.h>
#include <unicode/locid.h>
#include <unicode/timezone.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "TempTree.h"

#ifdef KELVANE_TEST_WITH_QT
#include <QCoreApplication>
#endif

int main(int argc, char** argv) {
    ::setenv("TZ", "UTC", 1);
    ::setenv("LC_ALL", "en_US.UTF-8", 1);
    ::setenv("LANG", "en_US.UTF-8", 1);
    UErrorCode status = U_ZERO_ERROR;
    icu::Locale::setDefault(icu::Locale("en_US"), status);
    icu::TimeZone::adoptDefault(icu::TimeZone::createTimeZone("UTC"));

    // Not /dev/shm: the trash refuses tmpfs, so fixtures live on a real disk.
    std::string base = std::filesystem::temp_directory_path() / "kelvane-tests-XXXXXX";
    if (::mkdtemp(base.data()) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    kelvane::fixture::ScopedHome::set(base);
    const std::string tmp = base + "/tmp";
    std::filesystem::create_directories(tmp);
    ::setenv("TMPDIR", tmp.c_str(), 1);

#ifdef KELVANE_TEST_WITH_QT
    // The controller's timers and queued results need an event loop on the main thread.
    QCoreApplication app(argc, argv);
#endif
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::GTEST_FLAG(death_test_style) = "threadsafe";
    const int result = RUN_ALL_TESTS();
    kelvane::fixture::removeTree(base);
    return result;
}
