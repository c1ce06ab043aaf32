#include "model/RuleCatalogue.h"

#include "platform/FileIO.h"
#include "platform/FileSystemError.h"
#include "platform/ResourceBundle.h"

namespace kelvane::RuleCatalogue {

namespace {

CleanRule builtIn(std::string id, std::string name, RuleGroup group, std::string path,
                  std::int64_t minAgeDays, RuleGranularity granularity, SafetyLevel safety) {
    CleanRule rule;
    rule.id = std::move(id);
    rule.name = std::move(name);
    rule.group = group;
    rule.path = std::move(path);
    rule.includes = {"*"};
    rule.minAgeDays = minAgeDays;
    rule.defaultEnabled = true;
    rule.granularity = granularity;
    rule.safety = safety;
    return rule;
}

}  // namespace

std::vector<CleanRule> decode(std::string_view text) {
    const auto document = json::parse(text);
    json::requireObject(document, "The catalogue");
    json::requireInt(document, "version");
    const auto& rules = json::requireKey(document, "rules");
    if (!rules.is_array()) {
        throw json::DecodeError("The value of “rules” is not a list.");
    }
    std::vector<CleanRule> result;
    result.reserve(rules.size());
    for (const auto& rule : rules) {
        result.push_back(CleanRule::fromJson(rule));
    }
    return result;
}

std::vector<CleanRule> load(const std::string& path) {
    return decode(platform::readFile(path));
}

std::vector<CleanRule> rulesOrFallback(const std::string& path) {
    try {
        auto rules = load(path);
        if (!rules.empty()) {
            return rules;
        }
    } catch (const std::exception&) {
        // A broken catalogue is never fatal: the built-in rules keep the app useful.
    }
    return fallback();
}

std::vector<CleanRule> bundled() {
    const auto resource = platform::coreResource("rules", "json");
    if (!resource) {
        return fallback();
    }
    return rulesOrFallback(*resource);
}

const std::vector<CleanRule>& fallback() {
    static const std::vector<CleanRule> rules{
        builtIn("user-temp", "Temporary files", RuleGroup::system, "$TMPDIR", 1,
                RuleGranularity::files, SafetyLevel::safe),
        builtIn("user-logs", "Log files", RuleGroup::system, "~/Library/Logs", 7,
                RuleGranularity::files, SafetyLevel::safe),
        builtIn("trash", "Trash", RuleGroup::trash, "~/.Trash", 0, RuleGranularity::tree,
                SafetyLevel::caution),
    };
    return rules;
}

std::optional<CleanRule> rule(std::string_view id, const std::vector<CleanRule>& rules) {
    for (const auto& candidate : rules) {
        if (candidate.id == id) {
            return candidate;
        }
    }
    return std::nullopt;
}

}  // namespace kelvane::RuleCatalogue
