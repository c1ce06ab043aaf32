// kelvane-cli: Kelvane's operations from a terminal.

#include <cstdio>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "CleanRule.h"
#include "FileSystemError.h"
#include "Format.h"
#include "RuleCatalogue.h"

namespace {

using namespace kelvane;

std::string_view safetyLabel(SafetyLevel level) {
    switch (level) {
        case SafetyLevel::safe:
            return "Safe";
        case SafetyLevel::caution:
            return "Caution";
        case SafetyLevel::optIn:
            return "Off by default";
    }
    return {};
}

std::string ageLabel(std::int64_t days) {
    if (days <= 0) {
        return "any age";
    }
    return days == 1 ? "older than 1 day" : "older than " + std::to_string(days) + " days";
}

void printRules(const std::vector<CleanRule>& rules) {
    for (const auto group : allCases<RuleGroup>()) {
        bool headed = false;
        for (const auto& rule : rules) {
            if (rule.group != group) {
                continue;
            }
            if (!headed) {
                std::cout << title(group) << " — " << summary(group) << "\n";
                headed = true;
            }
            std::cout << "  " << rule.name << "\n"
                      << "      " << safetyLabel(rule.safety) << ", " << ageLabel(rule.minAgeDays)
                      << ", " << (rule.defaultEnabled ? "on" : "off") << " by default — "
                      << Format::shortPath(rule.path) << "\n";
            if (!rule.note.empty()) {
                std::cout << "      " << rule.note << "\n";
            }
        }
        if (headed) {
            std::cout << "\n";
        }
    }
    std::cout << rules.size() << (rules.size() == 1 ? " rule" : " rules") << " in the catalogue.\n";
}

int usage() {
    std::cerr << "Usage: kelvane-cli rules [--rules FILE]\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() || args[0] != "rules") {
        return usage();
    }
    if (args.size() == 1) {
        printRules(RuleCatalogue::bundled());
        return 0;
    }
    if (args.size() == 3 && args[1] == "--rules") {
        try {
            printRules(RuleCatalogue::load(args[2]));
            return 0;
        } catch (const std::exception& error) {
            std::cerr << "kelvane-cli: " << error.what() << "\n";
            return 1;
        }
    }
    return usage();
}
