#pragma once

// "Open at login": Kelvane's own XDG autostart entry ($XDG_CONFIG_HOME/autostart), which starts
// it in the tray when the user signs in so scheduled scans can run. The entry's presence is the
// setting; nothing else records it.

#include <string>

namespace kelvane::OwnAutostart {

inline constexpr const char* desktopID = "com.orrindale.Kelvane";

std::string entryPath();
// Whether the entry is there and not hidden or switched off.
bool isEnabled();
// Writes the entry (starting `executable` with --background) or removes it. Throws
// FileSystemError.
void setEnabled(bool enabled, const std::string& executable);
// An Exec value for one program path, quoted as the Desktop Entry rules require.
std::string quotedExec(const std::string& program);

}  // namespace kelvane::OwnAutostart
