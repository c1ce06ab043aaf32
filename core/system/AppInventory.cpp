#include "system/AppInventory.h"

#include <gio/gio.h>
#include <unicode/coll.h>
#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <map>
#include <memory>
#include <set>

#include "files/AppPaths.h"
#include "files/FileTools.h"
#include "files/SafetyPolicy.h"
#include "platform/DirectoryWalker.h"
#include "platform/Environment.h"
#include "platform/FileSystem.h"
#include "platform/FileSystemError.h"
#include "platform/FileURL.h"
#include "platform/PathText.h"
#include "platform/PropertyList.h"

namespace kelvane {

std::string InstalledApp::url() const {
    return platform::fileURL(path);
}

namespace {

// Trims Unicode white space and line breaks from both ends.
std::string trimmed(const std::string& text) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    const auto length = static_cast<int32_t>(text.size());
    int32_t start = 0;
    while (start < length) {
        int32_t next = start;
        UChar32 c;
        U8_NEXT(bytes, next, length, c);
        if (c < 0 || !u_isUWhiteSpace(c)) {
            break;
        }
        start = next;
    }
    int32_t end = length;
    while (end > start) {
        int32_t previous = end;
        UChar32 c;
        U8_PREV(bytes, 0, previous, c);
        if (c < 0 || !u_isUWhiteSpace(c)) {
            break;
        }
        end = previous;
    }
    return text.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start));
}

std::string withoutExtension(std::string_view name) {
    const auto dot = name.rfind('.');
    return std::string(dot == std::string_view::npos || dot == 0 ? name : name.substr(0, dot));
}

const std::string* stringValue(const platform::PlistDictionary& plist, const char* key) {
    const auto it = plist.find(key);
    return it == plist.end() ? nullptr : it->second.string();
}

std::vector<std::string> visibleEntries(const std::string& folder) {
    auto names = platform::listDirectory(folder).value_or(std::vector<std::string>{});
    std::erase_if(names, [](const std::string& name) { return name.front() == '.'; });
    return names;
}

}  // namespace

AppInventory::AppInventory(std::optional<std::vector<std::string>> givenRoots, std::string homePath,
                           std::optional<std::string> temporary)
    : home(std::move(homePath)) {
    tempDirectory = path::standardize(temporary.value_or(platform::temporaryDirectory()));
    // Roots given by the caller (a test, a command line's choice) stand for every place.
    if (!givenRoots) {
        places = AppPlaces::current(home);
    }
    roots = givenRoots.value_or(
        std::vector<std::string>{"/Applications", path::appending(home, "Applications")});
}

bool AppInventory::isAppleBundleID(const std::string& bundleID) {
    return bundleID.starts_with("com.apple.");
}

std::optional<InstalledApp> AppInventory::readApp(const std::string& bundlePath) {
    const auto plist =
        platform::readPropertyList(path::appending(bundlePath, "Contents/Info.plist"));
    if (!plist) {
        return std::nullopt;
    }
    const auto* identifier = stringValue(*plist, "CFBundleIdentifier");
    if (!identifier) {
        return std::nullopt;
    }
    const auto bundleID = trimmed(*identifier);
    // The identifier names folders and files of the leftovers search: anything that is not
    // one plain name ("../../src") marks the bundle as damaged.
    if (!path::isSingleComponent(bundleID) || isAppleBundleID(bundleID) ||
        bundleID == ownBundleID || bundlePath.starts_with("/System/")) {
        return std::nullopt;
    }
    if (const auto it = plist->find("CFBundlePackageType"); it != plist->end()) {
        if (const auto* type = it->second.string();
            type && path::lowercasedASCII(*type) != "appl") {
            return std::nullopt;
        }
    }
    const auto fileName = withoutExtension(path::lastComponent(bundlePath));
    const std::string* display = stringValue(*plist, "CFBundleDisplayName");
    if (!display) {
        display = stringValue(*plist, "CFBundleName");
    }
    auto name = trimmed(display ? *display : fileName);
    if (name.empty()) {
        name = fileName;
    }
    const std::string* version = stringValue(*plist, "CFBundleShortVersionString");
    if (!version) {
        version = stringValue(*plist, "CFBundleVersion");
    }

    InstalledApp app;
    app.path = bundlePath;
    app.bundleID = bundleID;
    app.name = name;
    app.version = version ? trimmed(*version) : std::string{};
    if (const auto* executable = stringValue(*plist, "CFBundleExecutable")) {
        app.executable = *executable;
    }
    app.size = FileTools::allocatedSize(bundlePath);
    if (const auto values = platform::entryValues(bundlePath, false)) {
        app.modified = values->modified;
        app.lastOpened = values->accessed;
    }
    return app;
}

std::vector<InstalledApp> AppInventory::applications(std::stop_token stop) const {
    std::map<std::string, InstalledApp> found;
    for (const auto& rootText : roots) {
        if (stop.stop_requested()) {
            break;
        }
        const auto root = path::standardize(rootText);
        platform::WalkOptions options;
        options.readValues = false;
        options.skipHidden = true;
        options.stop = stop;
        platform::walkDirectory(root, options, [&](const platform::WalkEntry& entry) {
            if (entry.depth >= 4) {
                return platform::WalkAction::skipDescendants;
            }
            if (path::lowercasedASCII(path::extension(entry.name)) == "app") {
                if (auto app = readApp(std::string(entry.path))) {
                    found.insert_or_assign(app->path, std::move(*app));
                }
                return platform::WalkAction::skipDescendants;
            }
            return platform::WalkAction::proceed;
        });
    }
    std::vector<InstalledApp> apps;
    for (auto& [path, app] : found) {
        apps.push_back(std::move(app));
    }
    for (auto&& kind : {desktopApplications(), appImages(), snaps(), flatpaks(stop)}) {
        apps.insert(apps.end(), kind.begin(), kind.end());
    }
    // The file browser's order: case-insensitive, numbers by value.
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Collator> collator(
        icu::Collator::createInstance(icu::Locale::getDefault(), status));
    if (U_SUCCESS(status) && collator) {
        collator->setStrength(icu::Collator::SECONDARY);
        collator->setAttribute(UCOL_NUMERIC_COLLATION, UCOL_ON, status);
        std::stable_sort(apps.begin(), apps.end(), [&](const auto& a, const auto& b) {
            UErrorCode compareStatus = U_ZERO_ERROR;
            return collator->compareUTF8(a.name, b.name, compareStatus) == UCOL_LESS;
        });
    }
    return apps;
}

bool AppInventory::tempNameMatches(const std::string& name, const std::string& bundleID,
                                   const std::string& appName) {
    if (name == bundleID || name == appName) {
        return true;
    }
    for (const auto* identifier : {&bundleID, &appName}) {
        if (identifier->empty()) {
            continue;
        }
        for (const char separator : {'.', '-', '_', ' '}) {
            if (name.size() > identifier->size() && name.starts_with(*identifier) &&
                name[identifier->size()] == separator) {
                return true;
            }
        }
    }
    return false;
}

std::vector<ScanItem> AppInventory::leftovers(const InstalledApp& app,
                                              const std::vector<InstalledApp>& others) const {
    const auto& b = app.bundleID;
    if (!path::isSingleComponent(b)) {
        return {};  // never a path part that could lead elsewhere
    }
    const auto trimmedName = trimmed(app.name);
    const auto n = path::isSingleComponent(trimmedName) ? trimmedName : b;
    const auto own = AppPaths::supportDirectory();
    const auto library = path::appending(home, "Library");
    auto at = [&](const std::string& relative) { return path::appending(library, relative); };

    std::vector<std::string> candidates;
    std::set<std::string> seen;
    auto offer = [&](const std::string& raw, std::optional<bool> knownLink = std::nullopt) {
        const auto p = path::standardize(raw);
        if (SafetyPolicy::contains(p, own) || !FileTools::exists(p)) {
            return;
        }
        if (knownLink.value_or(FileTools::isSymbolicLink(p)) || !seen.insert(p).second) {
            return;
        }
        candidates.push_back(p);
    };

    for (const auto& place :
         {"Application Support/" + b, "Caches/" + b, "Application Support/Caches/" + b,
          "Preferences/" + b + ".plist", "Saved Application State/" + b + ".savedState",
          "Containers/" + b, "Group Containers/" + b, "Application Scripts/" + b,
          "HTTPStorages/" + b, "WebKit/" + b, "Cookies/" + b + ".binarycookies", "Logs/" + b,
          "LaunchAgents/" + b + ".plist"}) {
        offer(at(place));
    }
    if (n.size() >= 3 && n != b) {
        for (const auto& place : {"Application Support/" + n, "Caches/" + n, "Logs/" + n}) {
            offer(at(place));
        }
    }
    for (const auto& name : visibleEntries(tempDirectory)) {
        if (tempNameMatches(name, b, n)) {
            const auto p = path::appending(tempDirectory, name);
            const auto values = platform::entryValues(p, false);
            offer(p, values && values->isSymbolicLink());
        }
    }
    const auto byHost = at("Preferences/ByHost");
    for (const auto& name : visibleEntries(byHost)) {
        if (name.starts_with(b + ".")) {
            offer(path::appending(byHost, name));
        }
    }
    const auto agents = at("LaunchAgents");
    for (const auto& name : visibleEntries(agents)) {
        if (path::lowercasedASCII(path::extension(name)) != "plist") {
            continue;
        }
        const auto file = path::appending(agents, name);
        if (const auto plist = platform::readPropertyList(file)) {
            if (const auto* label = stringValue(*plist, "Label");
                label && (*label == b || label->starts_with(b + "."))) {
                offer(file);
            }
        }
    }

    // The places of a Linux desktop. A name matches case-insensitively, so "Tool" finds
    // ~/.config/tool; an ID matches exactly.
    auto claimedByOther = [&](const std::string& entryName) {
        const auto lowered = path::lowercasedASCII(entryName);
        return std::any_of(others.begin(), others.end(), [&](const InstalledApp& other) {
            return other.path != app.path &&
                   (other.bundleID == entryName ||
                    (other.name.size() >= 3 && path::lowercasedASCII(other.name) == lowered));
        });
    };
    const auto lowerName = path::lowercasedASCII(n);
    for (const auto& base : {platform::configHome(), platform::dataHome(), platform::cacheHome(),
                             platform::stateHome()}) {
        for (const auto& entryName : visibleEntries(base)) {
            const bool byID = entryName == b;
            const bool byName = n.size() >= 3 && path::lowercasedASCII(entryName) == lowerName;
            if ((byID || byName) && !claimedByOther(entryName)) {
                offer(path::appending(base, entryName));
            }
        }
    }
    if (app.source == AppSource::flatpak) {
        offer(path::appending(home, ".var/app/" + b));
    }
    if (app.source == AppSource::snap) {
        offer(path::appending(home, "snap/" + b));
    }
    const auto autostart = path::appending(platform::configHome(), "autostart");
    offer(path::appending(autostart, b + ".desktop"));
    // Icons the app put into the user's theme folders under its icon name.
    if (app.icon && path::isSingleComponent(*app.icon) && app.icon->size() >= 3) {
        platform::WalkOptions options;
        options.readValues = false;
        platform::walkDirectory(
            path::appending(platform::dataHome(), "icons"), options,
            [&](const platform::WalkEntry& entry) {
                if (entry.values.isRegularFile() && withoutExtension(entry.name) == *app.icon) {
                    offer(std::string(entry.path));
                }
                return platform::WalkAction::proceed;
            });
    }

    std::vector<ScanItem> items;
    for (const auto& p : candidates) {
        if (FileTools::isPackage(p)) {
            continue;
        }
        const auto size = FileTools::allocatedSize(p);
        if (size <= 0) {
            continue;
        }
        items.push_back(ScanItem{
            p, size, FileTools::modificationDate(p), leftoversRuleID, RuleGroup::applications,
            FileTools::isDirectory(p) ? ScanItem::Kind::folder : ScanItem::Kind::file});
    }
    std::stable_sort(items.begin(), items.end(),
                     [](const ScanItem& x, const ScanItem& y) { return x.size > y.size; });
    return items;
}

void AppInventory::trashApplication(const InstalledApp& app) {
    GFile* file = g_file_new_for_path(app.path.c_str());
    GError* error = nullptr;
    const gboolean trashed = g_file_trash(file, nullptr, &error);
    g_object_unref(file);
    if (!trashed) {
        const std::string message =
            error && error->message ? error->message : "The item could not be moved to the Trash.";
        const int code = error ? error->code : 0;
        if (error) {
            g_error_free(error);
        }
        throw FileSystemError(message, std::error_code(code, std::generic_category()));
    }
}

}  // namespace kelvane
