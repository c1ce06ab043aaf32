#pragma once

// Where Kelvane keeps its own files, and how rule paths and ignore-list texts become absolute
// paths. Every location is computed afresh from the home folder; asking creates nothing.

#include <string>
#include <string_view>

namespace kelvane::AppPaths {

std::string home();
inline constexpr std::string_view supportFolderName = "Kelvane";
std::string supportDirectory();
std::string quarantineDirectory();
std::string quarantineIndexFile();
std::string disabledAgentsDirectory();
std::string settingsFile();
std::string historyFile();
std::string scheduleFile();

// Creates the support folder, then the quarantine folder, with missing parents. Throws
// FileSystemError for the first creation that fails.
void ensureSupportDirectory();

// "$HOME" and "${HOME}" become the home folder, a leading "~" or "~user" is expanded,
// "$TMPDIR" becomes $TMPDIR when that is set; the result is absolute and standardised.
// Links are not resolved.
std::string expand(std::string_view text);

}  // namespace kelvane::AppPaths
