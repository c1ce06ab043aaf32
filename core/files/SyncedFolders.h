#pragma once

// The folders that file-sync clients keep in step with other devices. Moving a file out of one
// removes it on every device, so nothing inside them is ever offered.

#include <string>
#include <string_view>
#include <vector>

#include "platform/DirectoryWalker.h"

namespace kelvane::SyncedFolders {

// The known clients' default folders in the home folder (Dropbox, Nextcloud, ownCloud, pCloud,
// MEGA, Insync, OneDrive clients, Seafile) and the folders their own configuration names
// (Dropbox's info.json, Nextcloud's and ownCloud's localPath, Syncthing's folder paths), as
// absolute standardised paths. Reads only small configuration files; never fails.
std::vector<std::string> all();

inline constexpr std::string_view syncMarkerName = ".stfolder";

// Whether `folder` holds Syncthing's marker ".stfolder" (a synced folder whatever its name).
bool hasSyncMarker(const std::string& folder);
// The same for a folder met by a walk, which a scan then does not enter.
bool isMarkedFolder(const platform::WalkEntry& entry);

}  // namespace kelvane::SyncedFolders
