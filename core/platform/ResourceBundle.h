#pragma once

// The core library's read-only resources ("rules.json"), in the folder
// "Kelvane_KelvaneCore.bundle": first in the installed data folder beside the executable
// (../share/kelvane/), else in the build-output folder recorded when the project was
// configured.

#include <optional>
#include <string>

namespace kelvane::platform {

inline constexpr const char* resourceBundleName = "Kelvane_KelvaneCore.bundle";

// The bundle folder, located once on first use and kept for the life of the process. A bundle
// missing from both places is an installation fault: the program stops with
// "could not load resource bundle: from <first> or <second>".
const std::string& coreResourceBundle();

// The first of the two folders that exists, or nothing.
std::optional<std::string> locateBundle(const std::string& first, const std::string& second);
// locateBundle, or the fatal stop described above.
std::string bundleOrDie(const std::string& first, const std::string& second);

// The path of a resource inside the core bundle, or nothing when no such file is there.
std::optional<std::string> coreResource(const std::string& name, const std::string& extension);

}  // namespace kelvane::platform
