#pragma once

// The running programs of an application bundle: processes whose executable lies inside the
// bundle's folder, a polite request to quit, and whether each has gone.

#include <sys/types.h>
#include <string>
#include <vector>

namespace kelvane::platform {

// `bundlePath` may also be a single program file, whose processes run exactly it.
std::vector<pid_t> processesInside(const std::string& bundlePath);
// An AppImage runs from a mount of its own; its processes carry APPIMAGE=<the file>.
std::vector<pid_t> processesOfAppImage(const std::string& file);
// A Flatpak's processes see their application ID in /.flatpak-info inside their sandbox.
std::vector<pid_t> processesOfFlatpak(const std::string& applicationID);
// SIGTERM: the program may save its work and quit.
bool requestQuit(pid_t pid);
// The process no longer runs (gone, or a zombie waiting to be reaped).
bool hasTerminated(pid_t pid);

}  // namespace kelvane::platform
