#include "model/CleanRule.h"

#include "support/Hashing.h"

namespace kelvane {

std::string_view title(RuleGroup group) {
    switch (group) {
        case RuleGroup::system:
            return "System and logs";
        case RuleGroup::applications:
            return "Application caches";
        case RuleGroup::browsers:
            return "Browsers";
        case RuleGroup::developer:
            return "Developer tools";
        case RuleGroup::trash:
            return "Trash";
        case RuleGroup::downloads:
            return "Downloads";
    }
    return {};
}

std::string_view summary(RuleGroup group) {
    switch (group) {
        case RuleGroup::system:
            return "Temporary files, logs, crash reports and saved window state.";
        case RuleGroup::applications:
            return "Caches that apps rebuild. Safe by default, except where noted.";
        case RuleGroup::browsers:
            return "Cached pages and images. History and cookies are never touched.";
        case RuleGroup::developer:
            return "Build output and package caches. Off until you enable them.";
        case RuleGroup::trash:
            return "Items already in the Trash.";
        case RuleGroup::downloads:
            return "Old installers and disk images in your Downloads folder.";
    }
    return {};
}

CleanRule CleanRule::fromJson(const json::Json& object) {
    json::requireObject(object, "A rule");
    CleanRule rule;
    rule.id = json::requireString(object, "id");
    rule.name = json::requireString(object, "name");
    rule.group = json::requireEnum<RuleGroup>(object, "group");
    rule.path = json::requireString(object, "path");
    rule.includes = json::requireStringArray(object, "includes");
    rule.excludes = json::requireStringArray(object, "excludes");
    rule.minAgeDays = json::requireInt(object, "minAgeDays");
    rule.defaultEnabled = json::requireBool(object, "defaultEnabled");
    rule.granularity = json::requireEnum<RuleGranularity>(object, "granularity");
    rule.safety = json::requireEnum<SafetyLevel>(object, "safety");
    rule.note = json::requireString(object, "note");
    rule.requiresFullDiskAccess = json::requireBool(object, "requiresFullDiskAccess");
    rule.allowsUserContent = json::requireBool(object, "allowsUserContent");
    return rule;
}

json::Json CleanRule::toJson() const {
    return json::Json{
        {"id", id},
        {"name", name},
        {"group", rawValue(group)},
        {"path", path},
        {"includes", includes},
        {"excludes", excludes},
        {"minAgeDays", minAgeDays},
        {"defaultEnabled", defaultEnabled},
        {"granularity", rawValue(granularity)},
        {"safety", rawValue(safety)},
        {"note", note},
        {"requiresFullDiskAccess", requiresFullDiskAccess},
        {"allowsUserContent", allowsUserContent},
    };
}

}  // namespace kelvane

std::size_t std::hash<kelvane::CleanRule>::operator()(
    const kelvane::CleanRule& rule) const noexcept {
    using kelvane::hashCombine;
    std::size_t seed = 0;
    hashCombine(seed, rule.id);
    hashCombine(seed, rule.name);
    hashCombine(seed, rule.group);
    hashCombine(seed, rule.path);
    for (const auto& pattern : rule.includes) {
        hashCombine(seed, pattern);
    }
    hashCombine(seed, rule.includes.size());
    for (const auto& pattern : rule.excludes) {
        hashCombine(seed, pattern);
    }
    hashCombine(seed, rule.excludes.size());
    hashCombine(seed, rule.minAgeDays);
    hashCombine(seed, rule.defaultEnabled);
    hashCombine(seed, rule.granularity);
    hashCombine(seed, rule.safety);
    hashCombine(seed, rule.note);
    hashCombine(seed, rule.requiresFullDiskAccess);
    hashCombine(seed, rule.allowsUserContent);
    return seed;
}
