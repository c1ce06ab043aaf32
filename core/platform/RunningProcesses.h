#pragma once

// The running programs of an application bundle: processes whose executable lies inside the
// bundle's folder, a polite request to quit, and whether each has gone.

#include <sys/types.h>
#include <string>
#include <vector>

namespace kelvane::platform {

std::vector<pid_t> processesInside(const std::string& bundlePath);
// SIGTERM: the program may save its work and quit.
bool requestQuit(pid_t pid);
// The process no longer runs (gone, or a zombie waiting to be reaped).
bool hasTerminated(pid_t pid);

}  // namespace kelvane::platform
