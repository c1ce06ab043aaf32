#include "platform/ResourceBundle.h"

#include <cstdio>
#include <cstdlib>

#include "platform/Environment.h"
#include "platform/FileSystem.h"
#include "platform/PathText.h"

#ifndef KELVANE_BUILD_RESOURCE_BUNDLE
#error "KELVANE_BUILD_RESOURCE_BUNDLE must name the build-output bundle folder"
#endif

namespace kelvane::platform {

namespace {

bool isFolder(const std::string& path) {
    const auto values = entryValues(path, true);
    return values && values->isDirectory();
}

std::string installedBundlePath() {
    const auto executable = executablePath();
    const auto binFolder = path::deletingLastComponent(executable);
    return path::standardize(
        path::appending(path::appending(binFolder, "../share/kelvane"), resourceBundleName));
}

}  // namespace

std::optional<std::string> locateBundle(const std::string& first, const std::string& second) {
    if (isFolder(first)) {
        return first;
    }
    if (isFolder(second)) {
        return second;
    }
    return std::nullopt;
}

std::string bundleOrDie(const std::string& first, const std::string& second) {
    if (auto found = locateBundle(first, second)) {
        return *found;
    }
    const auto message = "could not load resource bundle: from " + first + " or " + second;
    std::fprintf(stderr, "Fatal error: %s\n", message.c_str());
    std::abort();
}

const std::string& coreResourceBundle() {
    static const std::string bundle =
        bundleOrDie(installedBundlePath(), KELVANE_BUILD_RESOURCE_BUNDLE);
    return bundle;
}

std::optional<std::string> coreResource(const std::string& name, const std::string& extension) {
    const auto file = path::appending(coreResourceBundle(), name + "." + extension);
    const auto values = entryValues(file, true);
    if (!values || values->isDirectory()) {
        return std::nullopt;
    }
    return file;
}

}  // namespace kelvane::platform
