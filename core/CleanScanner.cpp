#include "CleanScanner.h"

#include "FileTools.h"

namespace kelvane {

bool CleanScanner::matchesFilters(const std::string& path, const std::string& name,
                                  const CleanRule& rule, const std::string& root) {
    std::string relative = path.size() > root.size() ? path.substr(root.size()) : std::string{};
    const auto first = relative.find_first_not_of('/');
    if (first == std::string::npos) {
        relative.clear();
    } else {
        relative.erase(0, first);
        relative.erase(relative.find_last_not_of('/') + 1);
    }

    if (!rule.includes.empty()) {
        bool included = false;
        for (const auto& pattern : rule.includes) {
            if (FileTools::glob(pattern, name) ||
                (!relative.empty() && FileTools::glob(pattern, relative))) {
                included = true;
                break;
            }
        }
        if (!included) {
            return false;
        }
    }

    for (const auto& pattern : rule.excludes) {
        if (FileTools::glob(pattern, name)) {
            return false;
        }
        if (relative.empty()) {
            continue;
        }
        if (FileTools::glob(pattern, relative)) {
            return false;
        }
        std::size_t start = 0;
        while (start < relative.size()) {
            auto slash = relative.find('/', start);
            if (slash == std::string::npos) {
                slash = relative.size();
            }
            if (slash > start && FileTools::glob(pattern, relative.substr(start, slash - start))) {
                return false;
            }
            start = slash + 1;
        }
    }
    return true;
}

}  // namespace kelvane
