#pragma once

// The scanning engine's entry point. For now it holds the rule filter that decides which
// entries a rule describes; the scans themselves build on it.

#include <string>

#include "CleanRule.h"
#include "SafetyPolicy.h"

namespace kelvane {

struct CleanScanner {
    SafetyPolicy safety;
    int itemLimitPerRule = 0;
    int largeFileLimit = 0;

    // Whether an entry's name or its path relative to the rule folder passes the rule's
    // include patterns (any one, tried on the name and the whole relative path) and none of its
    // exclude patterns (tried on the name, the whole relative path and each of its components).
    static bool matchesFilters(const std::string& path, const std::string& name,
                               const CleanRule& rule, const std::string& root);
};

}  // namespace kelvane
