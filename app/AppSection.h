#pragma once

// The screens of the window, in sidebar order, and the two kinds of junk scan. Both are
// stored and shown to QML by their raw values.

#include <array>
#include <string_view>
#include <utility>

#include "support/RawEnum.h"

namespace kelvane {

enum class AppSection {
    overview,
    junk,
    largeFiles,
    diskMap,
    duplicates,
    startup,
    uninstall,
    quarantine,
    settings
};

template <>
struct EnumCases<AppSection> {
    static constexpr std::array table{
        std::pair{AppSection::overview, std::string_view{"overview"}},
        std::pair{AppSection::junk, std::string_view{"junk"}},
        std::pair{AppSection::largeFiles, std::string_view{"largeFiles"}},
        std::pair{AppSection::diskMap, std::string_view{"diskMap"}},
        std::pair{AppSection::duplicates, std::string_view{"duplicates"}},
        std::pair{AppSection::startup, std::string_view{"startup"}},
        std::pair{AppSection::uninstall, std::string_view{"uninstall"}},
        std::pair{AppSection::quarantine, std::string_view{"quarantine"}},
        std::pair{AppSection::settings, std::string_view{"settings"}},
    };
};

std::string_view title(AppSection section);

enum class ScanMode { quick, deep };

template <>
struct EnumCases<ScanMode> {
    static constexpr std::array table{
        std::pair{ScanMode::quick, std::string_view{"quick"}},
        std::pair{ScanMode::deep, std::string_view{"deep"}},
    };
};

}  // namespace kelvane
