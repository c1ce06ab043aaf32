#pragma once

// A cleaning rule of the catalogue and the three enumerations that classify it.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "support/Json.h"
#include "support/RawEnum.h"

namespace kelvane {

enum class RuleGroup { system, applications, browsers, developer, trash, downloads };
enum class RuleGranularity { files, tree };
enum class SafetyLevel { safe, caution, optIn };

template <>
struct EnumCases<RuleGroup> {
    static constexpr std::array table{
        std::pair{RuleGroup::system, std::string_view{"system"}},
        std::pair{RuleGroup::applications, std::string_view{"applications"}},
        std::pair{RuleGroup::browsers, std::string_view{"browsers"}},
        std::pair{RuleGroup::developer, std::string_view{"developer"}},
        std::pair{RuleGroup::trash, std::string_view{"trash"}},
        std::pair{RuleGroup::downloads, std::string_view{"downloads"}},
    };
};

template <>
struct EnumCases<RuleGranularity> {
    static constexpr std::array table{
        std::pair{RuleGranularity::files, std::string_view{"files"}},
        std::pair{RuleGranularity::tree, std::string_view{"tree"}},
    };
};

template <>
struct EnumCases<SafetyLevel> {
    static constexpr std::array table{
        std::pair{SafetyLevel::safe, std::string_view{"safe"}},
        std::pair{SafetyLevel::caution, std::string_view{"caution"}},
        std::pair{SafetyLevel::optIn, std::string_view{"optIn"}},
    };
};

std::string_view title(RuleGroup group);
std::string_view summary(RuleGroup group);

struct CleanRule {
    std::string id;
    std::string name;
    RuleGroup group = RuleGroup::system;
    std::string path;
    std::vector<std::string> includes;
    std::vector<std::string> excludes;
    std::int64_t minAgeDays = 0;
    bool defaultEnabled = false;
    RuleGranularity granularity = RuleGranularity::files;
    SafetyLevel safety = SafetyLevel::safe;
    std::string note;
    bool requiresFullDiskAccess = false;
    bool allowsUserContent = false;

    bool operator==(const CleanRule&) const = default;

    // All thirteen keys are required; other keys are ignored. Throws json::DecodeError.
    static CleanRule fromJson(const json::Json& object);
    json::Json toJson() const;
};

}  // namespace kelvane

template <>
struct std::hash<kelvane::CleanRule> {
    std::size_t operator()(const kelvane::CleanRule& rule) const noexcept;
};
