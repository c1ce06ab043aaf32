#pragma once

// Where Kelvane keeps its own files, and how rule paths and ignore-list texts become absolute
// paths. Every location is computed afresh from the environment; asking creates nothing.
//
// Settings and schedule live in the configuration folder ($XDG_CONFIG_HOME/kelvane); the
// quarantine, the history and the parked startup entries in the support folder
// ($XDG_DATA_HOME/kelvane). An older "~/Library/Application Support/Kelvane" is moved there
// once (migrateLegacyFolder); until that has worked, every location stays in the old folder, so
// a failed move leaves Kelvane working where it was.

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kelvane::AppPaths {

std::string home();
inline constexpr std::string_view supportFolderName = "kelvane";
std::string configDirectory();
std::string supportDirectory();
// "~/Library/Application Support/Kelvane", where versions before the XDG layout kept
// everything.
std::string legacySupportDirectory();
std::string quarantineDirectory();
std::string quarantineIndexFile();
std::string disabledAgentsDirectory();
std::string settingsFile();
std::string historyFile();
std::string scheduleFile();

// Creates the configuration folder, the support folder and the quarantine folder (mode 0700),
// with missing parents. Throws FileSystemError for the first creation that fails.
void ensureSupportDirectory();

// Moves the legacy folder to the XDG places when it exists and the support folder does not:
// by one rename where the file system allows, else a copy under a temporary name that is
// renamed into place only when whole. Finishes a move that was cut short. Returns a sentence
// for the user when the move failed (the legacy folder then stays in use), else nothing.
std::optional<std::string> migrateLegacyFolder();

// "$HOME" and "${HOME}" become the home folder, a leading "~" or "~user" is expanded,
// "$TMPDIR" becomes the temporary folder ($TMPDIR when set to an absolute path, else /tmp), and
// the XDG folders "$XDG_CACHE_HOME", "$XDG_CONFIG_HOME", "$XDG_DATA_HOME", "$XDG_STATE_HOME"
// and the user folders ("$XDG_DOWNLOAD_DIR", "$XDG_DOCUMENTS_DIR", … from
// ~/.config/user-dirs.dirs) become theirs, with their defaults. The result is absolute and
// standardised (a relative text is taken against the working folder). Links are not resolved.
std::string expand(std::string_view text);
// The same for rule paths and ignore-list entries, which must name a place on their own: a
// text that is empty or relative once its variables are replaced gives nothing, never the
// working folder.
std::optional<std::string> expandAbsolute(std::string_view text);

// The XDG user folders (`XDG_DESKTOP_DIR`, `XDG_DOCUMENTS_DIR`, `XDG_DOWNLOAD_DIR`,
// `XDG_MUSIC_DIR`, `XDG_PICTURES_DIR`, `XDG_PUBLICSHARE_DIR`, `XDG_TEMPLATES_DIR`,
// `XDG_VIDEOS_DIR`) as ~/.config/user-dirs.dirs names them, else their English defaults;
// a folder set to the home folder itself (how xdg-user-dirs switches one off) is left out.
std::vector<std::pair<std::string, std::string>> userFolders();

}  // namespace kelvane::AppPaths
