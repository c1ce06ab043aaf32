#pragma once

// Running another program to its end: the few desktop services that are only reachable through
// their own command (the user's service manager, Flatpak, Snap).

#include <functional>
#include <string>
#include <vector>

namespace kelvane::platform {

struct CommandResult {
    bool started = false;  // false when the program could not be found or started
    int exitStatus = -1;   // the exit status when it ran to its end, else -1
    std::string output;    // standard output and standard error, in that order
};

// Runs argv[0] (looked up in PATH) with the rest as its arguments, without a shell, and waits.
CommandResult runCommand(const std::vector<std::string>& argv);

// How callers run commands, so tests can stand in for the real programs.
using CommandRunner = std::function<CommandResult(const std::vector<std::string>& argv)>;

}  // namespace kelvane::platform
