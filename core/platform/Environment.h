#pragma once

// The process's view of its user and surroundings: home folders, the temporary folder,
// environment variables and the working folder.

#include <optional>
#include <string>
#include <string_view>

namespace kelvane::platform {

// $HOME when set and absolute, else the password database entry of the current user; no
// trailing "/" (the root stays "/").
std::string homeDirectory();
// The home folder of the named user from the password database, or nothing.
std::optional<std::string> homeDirectoryOf(std::string_view userName);
// The XDG base folders: the variable when it is set to an absolute path (an empty or relative
// one counts as unset), else ~/.config and ~/.local/share.
std::string configHome();
std::string dataHome();
std::string cacheHome();
std::string stateHome();
// $TMPDIR when set to an absolute path, else "/tmp".
std::string temporaryDirectory();
std::optional<std::string> environmentVariable(const char* name);
std::string currentDirectory();
// Absolute path of the running executable (/proc/self/exe), or empty.
std::string executablePath();

}  // namespace kelvane::platform
