#include "SafetyPolicy.h"

#include "AppPaths.h"
#include "FileTools.h"
#include "PathText.h"
#include "platform/FileSystem.h"

namespace kelvane {

namespace {

bool isVersionControlData(std::string_view p) {
    return p.find("/.git/") != std::string_view::npos ||
           (p.size() >= 5 && p.substr(p.size() - 5) == "/.git");
}

bool isProtectedCandidate(const std::string& candidate, const std::string& home) {
    const auto lower = path::lowercasedASCII(candidate);
    if (lower == "/" || lower == path::lowercasedASCII(home)) {
        return true;
    }
    for (const auto folder : SafetyPolicy::personalFolders) {
        if (SafetyPolicy::contains(candidate, path::appending(home, folder))) {
            return true;
        }
    }
    for (const auto folder : SafetyPolicy::systemFolders) {
        if (SafetyPolicy::contains(candidate, folder)) {
            return true;
        }
    }
    if (isVersionControlData(candidate)) {
        return true;
    }
    const auto ext = path::lowercasedASCII(path::extension(candidate));
    for (const auto protectedExtension : SafetyPolicy::protectedExtensions) {
        if (ext == protectedExtension) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool SafetyPolicy::contains(std::string_view p, std::string_view folder) {
    if (p == folder) {
        return true;
    }
    if (!folder.empty() && folder.back() == '/') {
        folder.remove_suffix(1);
    }
    return p.size() > folder.size() && p.substr(0, folder.size()) == folder &&
           p[folder.size()] == '/';
}

bool SafetyPolicy::isHardLinked(const std::string& p) {
    return FileTools::linkCount(p) > 1;
}

bool SafetyPolicy::isProtected(const std::string& p) {
    const auto home = AppPaths::home();
    return isProtectedCandidate(path::standardize(p), home) ||
           isProtectedCandidate(platform::resolveSymbolicLinks(p), home);
}

std::optional<std::string> SafetyPolicy::rejectionReason(
    const std::string& p, const CleanRule& rule, const std::vector<std::string>& ignoreList) const {
    if (p.empty()) {
        return "The path is empty.";
    }
    const std::string item = path::standardize(p);
    const std::string resolvedItem = platform::resolveSymbolicLinks(p);
    const std::string expandedRule = AppPaths::expand(rule.path);
    const std::string ruleFolder = path::standardize(expandedRule);
    const std::string resolvedRule = platform::resolveSymbolicLinks(expandedRule);

    if (item == ruleFolder || resolvedItem == resolvedRule) {
        return "Kelvane never removes a whole rule folder.";
    }
    if (!contains(item, ruleFolder)) {
        return "The item is outside the folder this rule protects.";
    }
    if (!contains(resolvedItem, resolvedRule)) {
        return "The item resolves outside the rule folder. It may be a symbolic link.";
    }
    if (FileTools::isSymbolicLink(item)) {
        return "The item is a symbolic link.";
    }
    if (FileTools::isPackage(item)) {
        return "The item is an app or package bundle.";
    }
    if (isVersionControlData(item)) {
        return "The item is inside a Git repository.";
    }
    if (rule.allowsUserContent) {
        const auto home = AppPaths::home();
        for (const auto folder : syncedFolders) {
            if (contains(item, path::appending(home, folder))) {
                return "The item is in a synced folder.";
            }
        }
    } else if (isProtected(item)) {
        return "The item is in a personal or system folder.";
    }
    auto ignored = [&item](const std::vector<std::string>& list) {
        for (const auto& text : list) {
            if (contains(item, path::standardize(AppPaths::expand(text)))) {
                return true;
            }
        }
        return false;
    };
    if (ignored(extraIgnoredPaths) || ignored(ignoreList)) {
        return "The folder is on your ignore list.";
    }
    return std::nullopt;
}

}  // namespace kelvane
