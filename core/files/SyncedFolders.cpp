#include "files/SyncedFolders.h"

#include <array>
#include <string_view>

#include "files/AppPaths.h"
#include "platform/Environment.h"
#include "platform/FileIO.h"
#include "platform/FileSystem.h"
#include "platform/PathText.h"

namespace kelvane::SyncedFolders {

namespace {

constexpr std::array<std::string_view, 12> defaultFolders{
    "Dropbox", "Nextcloud", "ownCloud", "pCloudDrive", "MEGA", "MEGAsync",
    "Insync",  "OneDrive",  "onedrive", "Seafile",     "Sync", "Library/CloudStorage",
};

std::string readSmall(const std::string& file) {
    try {
        return platform::readFile(file, 1 << 20);
    } catch (const std::exception&) {
        return {};
    }
}

// Every value of `key` in the text: key="value" (XML attributes, JSON) or key=value lines
// (Qt's settings files). Values that are not absolute paths are left out.
void collect(const std::string& text, std::string_view key, bool quoted,
             std::vector<std::string>& out) {
    for (auto at = text.find(key); at != std::string::npos; at = text.find(key, at + 1)) {
        auto start = at + key.size();
        std::size_t end;
        if (quoted) {
            end = text.find('"', start);
        } else {
            end = text.find_first_of("\r\n", start);
        }
        if (end == std::string::npos) {
            end = text.size();
        }
        const auto value = text.substr(start, end - start);
        if (!value.empty() && value.front() == '/') {
            out.push_back(path::standardize(value));
        }
    }
}

}  // namespace

std::vector<std::string> all() {
    const auto home = AppPaths::home();
    std::vector<std::string> folders;
    for (const auto name : defaultFolders) {
        folders.push_back(path::appending(home, name));
    }
    const auto config = platform::configHome();
    collect(readSmall(path::appending(home, ".dropbox/info.json")), "\"path\": \"", true, folders);
    for (const auto* client : {"Nextcloud/nextcloud.cfg", "ownCloud/owncloud.cfg"}) {
        collect(readSmall(path::appending(config, client)), "localPath=", false, folders);
    }
    for (const auto& syncthing : {path::appending(platform::stateHome(), "syncthing/config.xml"),
                                  path::appending(config, "syncthing/config.xml")}) {
        const auto text = readSmall(syncthing);
        // Only <folder … path="…"> elements name synced folders.
        for (auto at = text.find("<folder "); at != std::string::npos;
             at = text.find("<folder ", at + 1)) {
            const auto close = text.find('>', at);
            collect(text.substr(at, close == std::string::npos ? std::string::npos : close - at),
                    " path=\"", true, folders);
        }
    }
    return folders;
}

bool hasSyncMarker(const std::string& folder) {
    return platform::entryValues(path::appending(folder, syncMarkerName), false).has_value();
}

bool isMarkedFolder(const platform::WalkEntry& entry) {
    return entry.values.isDirectory() && hasSyncMarker(std::string(entry.path));
}

}  // namespace kelvane::SyncedFolders
