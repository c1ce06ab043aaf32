#include "platform/FileSystem.h"

#include <sys/statvfs.h>
#include <unistd.h>

#include <array>
#include <functional>
#include <vector>

#include "platform/Environment.h"
#include "platform/PathText.h"

namespace kelvane::platform {

EntryValues valuesFromStat(const struct stat& st) {
    EntryValues v;
    if (S_ISREG(st.st_mode)) {
        v.type = EntryType::regular;
    } else if (S_ISDIR(st.st_mode)) {
        v.type = EntryType::directory;
    } else if (S_ISLNK(st.st_mode)) {
        v.type = EntryType::symbolicLink;
    } else {
        v.type = EntryType::other;
    }
    v.allocatedSize = static_cast<std::int64_t>(st.st_blocks) * 512;
    v.logicalSize = static_cast<std::int64_t>(st.st_size);
    v.modified = dateFromTimespec(st.st_mtim);
    v.accessed = dateFromTimespec(st.st_atim);
    v.linkCount = static_cast<std::uint64_t>(st.st_nlink);
    v.device = static_cast<std::uint64_t>(st.st_dev);
    v.inode = static_cast<std::uint64_t>(st.st_ino);
    return v;
}

std::optional<EntryValues> entryValues(const std::string& path, bool followLinks) {
    struct stat st {};
    const int rc = followLinks ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st);
    if (rc != 0) {
        return std::nullopt;
    }
    return valuesFromStat(st);
}

bool hasPackageExtension(std::string_view name) {
    static constexpr std::array<std::string_view, 28> extensions{
        "app",          "bundle",      "framework",   "plugin",     "kext",          "appex",
        "xpc",          "qlgenerator", "prefpane",    "saver",      "photoslibrary", "photolibrary",
        "musiclibrary", "tvlibrary",   "vmwarevm",    "pvm",        "vbox",          "utm",
        "sparsebundle", "xcodeproj",   "xcworkspace", "playground", "rtfd",          "pages",
        "numbers",      "key",         "logicx",      "band"};
    const auto ext = path::extension(name);
    if (ext.empty() || ext.size() > 13) {
        return false;
    }
    const auto lower = path::lowercasedASCII(ext);
    for (const auto candidate : extensions) {
        if (candidate == lower) {
            return true;
        }
    }
    return false;
}

namespace {

std::optional<std::string> resolve(std::string_view input,
                                   const std::function<bool(const struct stat&)>& mayFollow) {
    // Component by component, as the kernel does: a link's target replaces the link and is
    // walked in turn; a component that does not exist ends the lookups and the remaining
    // components are appended as text.
    std::vector<std::string> pending;
    auto pushComponents = [&pending](std::string_view text) {
        // Components go on the stack in reverse so the first one is taken first.
        std::vector<std::string> parts;
        std::size_t start = 0;
        while (start <= text.size()) {
            const auto slash = text.find('/', start);
            const auto end = slash == std::string_view::npos ? text.size() : slash;
            if (end > start) {
                parts.emplace_back(text.substr(start, end - start));
            }
            if (slash == std::string_view::npos) {
                break;
            }
            start = slash + 1;
        }
        for (auto it = parts.rbegin(); it != parts.rend(); ++it) {
            pending.push_back(std::move(*it));
        }
    };

    const std::string absolute = input.empty() || input.front() != '/'
                                     ? path::appending(currentDirectory(), input)
                                     : std::string(input);
    pushComponents(absolute);

    std::string resolved;  // "" stands for the root
    bool existing = true;
    int linksFollowed = 0;
    std::vector<char> target(4096);
    while (!pending.empty()) {
        std::string part = std::move(pending.back());
        pending.pop_back();
        if (part == ".") {
            continue;
        }
        if (part == "..") {
            const auto slash = resolved.rfind('/');
            resolved.erase(slash == std::string::npos ? 0 : slash);
            continue;
        }
        const auto before = resolved.size();
        resolved += '/';
        resolved += part;
        if (!existing || linksFollowed > 40) {
            continue;
        }
        struct stat st {};
        if (::lstat(resolved.c_str(), &st) != 0) {
            existing = false;
            continue;
        }
        if (!S_ISLNK(st.st_mode)) {
            continue;
        }
        if (mayFollow && !mayFollow(st)) {
            return std::nullopt;
        }
        ssize_t n;
        for (;;) {
            n = ::readlink(resolved.c_str(), target.data(), target.size());
            if (n < 0 || static_cast<std::size_t>(n) < target.size()) {
                break;
            }
            target.resize(target.size() * 2);
        }
        if (n <= 0) {
            continue;
        }
        ++linksFollowed;
        const std::string_view link(target.data(), static_cast<std::size_t>(n));
        if (link.front() == '/') {
            resolved.clear();
        } else {
            resolved.erase(before);
        }
        pushComponents(link);
    }
    return resolved.empty() ? "/" : resolved;
}

}  // namespace

std::string resolveSymbolicLinks(std::string_view path) {
    return *resolve(path, {});
}

std::optional<std::string> resolveSymbolicLinksWhere(
    std::string_view path, const std::function<bool(const struct stat& link)>& mayFollow) {
    return resolve(path, mayFollow);
}

std::optional<VolumeCapacity> volumeCapacity(const std::string& path) {
    struct statvfs vfs {};
    if (::statvfs(path.c_str(), &vfs) != 0) {
        return std::nullopt;
    }
    VolumeCapacity capacity;
    capacity.available =
        static_cast<std::int64_t>(vfs.f_bavail) * static_cast<std::int64_t>(vfs.f_frsize);
    capacity.total =
        static_cast<std::int64_t>(vfs.f_blocks) * static_cast<std::int64_t>(vfs.f_frsize);
    return capacity;
}

}  // namespace kelvane::platform
