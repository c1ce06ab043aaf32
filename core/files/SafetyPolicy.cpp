#include "files/SafetyPolicy.h"

#include "files/AppPaths.h"
#include "files/FileTools.h"
#include "files/SyncedFolders.h"
#include "platform/FileSystem.h"
#include "platform/PathText.h"

namespace kelvane {

namespace {

bool isVersionControlData(std::string_view p) {
    return p.find("/.git/") != std::string_view::npos ||
           (p.size() >= 5 && p.substr(p.size() - 5) == "/.git");
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
    return ProtectedPlaces{}.contains(path::standardize(p), platform::resolveSymbolicLinks(p));
}

std::optional<std::string> SafetyPolicy::rejectionReason(
    const std::string& p, const CleanRule& rule, const std::vector<std::string>& ignoreList) const {
    return RuleSafetyCheck(*this, rule, ignoreList).reason(p);
}

ProtectedPlaces::ProtectedPlaces()
    : home_(AppPaths::home()),
      homeLower_(path::lowercasedASCII(home_)),
      support_(AppPaths::supportDirectory()),
      resolvedSupport_(platform::resolveSymbolicLinks(support_)) {
    personal_.reserve(SafetyPolicy::personalFolders.size());
    for (const auto folder : SafetyPolicy::personalFolders) {
        personal_.push_back(path::appending(home_, folder));
    }
    // The user's folders by their real names (~/Dokumente, ~/Images…) and every synced folder.
    for (const auto& [key, folder] : AppPaths::userFolders()) {
        // Downloads is where the old-download rules work; the design never protected it.
        if (key != "XDG_DOWNLOAD_DIR") {
            personal_.push_back(folder);
        }
    }
    synced_ = SyncedFolders::all();
    personal_.insert(personal_.end(), synced_.begin(), synced_.end());
    // A system folder that holds the home folder (/root for root, /var/lib for a service
    // account) must not swallow the user's own files.
    for (const auto folder : SafetyPolicy::systemFolders) {
        if (!SafetyPolicy::contains(home_, folder)) {
            system_.emplace_back(folder);
        } else {
            systemHoldingHome_.emplace_back(folder);
        }
    }
}

bool ProtectedPlaces::matches(std::string_view candidate) const {
    if (candidate == "/" ||
        (candidate.size() == homeLower_.size() && path::lowercasedASCII(candidate) == homeLower_) ||
        isOwnData(candidate)) {
        return true;
    }
    for (const auto& folder : personal_) {
        if (SafetyPolicy::contains(candidate, folder)) {
            return true;
        }
    }
    for (const auto& folder : system_) {
        if (SafetyPolicy::contains(candidate, folder)) {
            return true;
        }
    }
    for (const auto& folder : systemHoldingHome_) {
        if (SafetyPolicy::contains(candidate, folder) &&
            !SafetyPolicy::contains(candidate, home_)) {
            return true;
        }
    }
    if (isVersionControlData(candidate)) {
        return true;
    }
    const auto ext = path::extension(candidate);
    if (ext.empty() || ext.size() > 13) {
        return false;
    }
    const auto lower = path::lowercasedASCII(ext);
    for (const auto protectedExtension : SafetyPolicy::protectedExtensions) {
        if (lower == protectedExtension) {
            return true;
        }
    }
    return false;
}

ExpandedIgnoreList::ExpandedIgnoreList(const std::vector<std::string>& texts) {
    add(texts);
}

void ExpandedIgnoreList::add(const std::vector<std::string>& texts) {
    for (const auto& text : texts) {
        // An entry that names no place on its own would ignore the working folder instead.
        if (auto folder = AppPaths::expandAbsolute(text)) {
            folders_.push_back(std::move(*folder));
        }
    }
}

bool ExpandedIgnoreList::contains(std::string_view p) const {
    for (const auto& folder : folders_) {
        if (SafetyPolicy::contains(p, folder)) {
            return true;
        }
    }
    return false;
}

RuleSafetyCheck::RuleSafetyCheck(const SafetyPolicy& policy, const CleanRule& rule,
                                 const std::vector<std::string>& ignoreList)
    : allowsUserContent_(rule.allowsUserContent), home_(AppPaths::home()) {
    // A rule whose folder names no place keeps an empty folder text and refuses everything.
    const auto expanded = AppPaths::expandAbsolute(rule.path);
    if (expanded) {
        ruleFolder_ = *expanded;
        resolvedRuleFolder_ = platform::resolveSymbolicLinks(*expanded);
        for (std::string folder = resolvedRuleFolder_; !ruleFolderSynced_;) {
            ruleFolderSynced_ = SyncedFolders::hasSyncMarker(folder);
            if (folder.size() <= 1) {
                break;
            }
            folder = path::deletingLastComponent(folder);
        }
    }
    ignored_.add(policy.extraIgnoredPaths);
    ignored_.add(ignoreList);
}

std::optional<std::string> RuleSafetyCheck::reason(const std::string& p) const {
    if (p.empty()) {
        return "The path is empty.";
    }
    const auto item = path::standardize(p);
    const auto resolved = platform::resolveSymbolicLinks(p);
    // The protected-place test looks at P resolved; that differs from P' only when the given
    // text walks back ("..") through a link.
    const auto resolvedStandardized =
        p.find("..") == std::string::npos ? resolved : platform::resolveSymbolicLinks(item);
    // A folder Syncthing keeps in step, anywhere between the rule folder and the item (the
    // item itself included): a walk does not enter one, and neither does a move.
    for (std::string folder = item;
         !ruleFolder_.empty() && SafetyPolicy::contains(folder, ruleFolder_) &&
         folder.size() > ruleFolder_.size();
         folder = path::deletingLastComponent(folder)) {
        if (SyncedFolders::hasSyncMarker(folder)) {
            return "The item is in a synced folder.";
        }
    }
    return decide(item, resolved, resolvedStandardized, FileTools::isSymbolicLink(item),
                  FileTools::isPackage(item));
}

std::optional<std::string> RuleSafetyCheck::reason(std::string_view item,
                                                   std::string_view resolvedItem,
                                                   bool isSymbolicLink, bool isPackage) const {
    return decide(item, resolvedItem, resolvedItem, isSymbolicLink, isPackage);
}

std::optional<std::string> RuleSafetyCheck::decide(std::string_view item,
                                                   std::string_view resolvedItem,
                                                   std::string_view resolvedStandardized,
                                                   bool isSymbolicLink, bool isPackage) const {
    if (item.empty()) {
        return "The path is empty.";
    }
    if (ruleFolder_.empty()) {
        return "The rule's folder names no place on this computer.";
    }
    if (item == ruleFolder_ || resolvedItem == resolvedRuleFolder_) {
        return "Kelvane never removes a whole rule folder.";
    }
    if (!SafetyPolicy::contains(item, ruleFolder_)) {
        return "The item is outside the folder this rule protects.";
    }
    if (!SafetyPolicy::contains(resolvedItem, resolvedRuleFolder_)) {
        return "The item resolves outside the rule folder. It may be a symbolic link.";
    }
    // A home folder inside a rule's folder (a live session's home in /tmp) is not that rule's
    // to clean: only rules for places in the home folder reach into it.
    if (!SafetyPolicy::contains(ruleFolder_, home_) && SafetyPolicy::contains(item, home_)) {
        return "The item is in your home folder, which this rule does not cover.";
    }
    if (places_.isOwnData(item) || places_.isOwnData(resolvedItem)) {
        return "The item is part of Kelvane's own data.";
    }
    if (ruleFolderSynced_) {
        return "The item is in a synced folder.";
    }
    if (isSymbolicLink) {
        return "The item is a symbolic link.";
    }
    if (isPackage) {
        return "The item is an app or package bundle.";
    }
    if (isVersionControlData(item)) {
        return "The item is inside a Git repository.";
    }
    if (allowsUserContent_) {
        for (const auto folder : SafetyPolicy::syncedFolders) {
            if (SafetyPolicy::contains(item, path::appending(home_, folder))) {
                return "The item is in a synced folder.";
            }
        }
        if (places_.isSynced(item) || places_.isSynced(resolvedStandardized)) {
            return "The item is in a synced folder.";
        }
    } else if (places_.contains(item, resolvedStandardized)) {
        return "The item is in a personal or system folder.";
    }
    if (ignored_.contains(item)) {
        return "The folder is on your ignore list.";
    }
    return std::nullopt;
}

}  // namespace kelvane
