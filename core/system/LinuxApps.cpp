// The kinds of applications a Linux desktop has besides bundle folders: programs the user
// installed into the home folder with a desktop entry, Flatpaks, AppImages and Snaps.

#include <fcntl.h>
#include <gio/gio.h>
#include <unistd.h>
#include <yaml.h>

#include <algorithm>
#include <cstring>
#include <set>

#include "files/AppPaths.h"
#include "files/FileTools.h"
#include "files/SafetyPolicy.h"
#include "platform/DesktopEntry.h"
#include "platform/DirectoryWalker.h"
#include "platform/Environment.h"
#include "platform/FileIO.h"
#include "platform/FileSystem.h"
#include "platform/FileSystemError.h"
#include "platform/PathText.h"
#include "system/AppInventory.h"

namespace kelvane {

namespace {

using platform::DesktopEntry;

constexpr std::size_t maxMetadataSize = 1u << 20;

std::optional<std::string> readSmallFile(const std::string& path) {
    try {
        return platform::readFile(path, maxMetadataSize);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

// A Flatpak application ID: at least two dots, letters, digits, "_" and "-" only, so it is
// safe as one path component and as a command argument.
bool isApplicationID(std::string_view id) {
    if (id.empty() || id.size() > 255 || id.front() == '.' || id.front() == '-' ||
        std::count(id.begin(), id.end(), '.') < 2) {
        return false;
    }
    return std::all_of(id.begin(), id.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '.' || c == '_' || c == '-';
    });
}

// A snap name: lower-case letters, digits and "-", as snapd allows.
bool isSnapName(std::string_view name) {
    return !name.empty() && name.size() <= 40 && name.front() != '-' &&
           std::all_of(name.begin(), name.end(), [](char c) {
               return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
           });
}

void measure(InstalledApp& app) {
    app.size = FileTools::allocatedSize(app.path);
    if (const auto values = platform::entryValues(app.path, false)) {
        app.modified = values->modified;
        app.lastOpened = values->accessed;
    }
}

// The newest release's version in AppStream metadata: the first <release version="…">.
std::optional<std::string> appStreamVersion(const std::string& file) {
    const auto text = readSmallFile(file);
    if (!text) {
        return std::nullopt;
    }
    std::optional<std::string> version;
    GMarkupParser parser{};
    parser.start_element = [](GMarkupParseContext*, const gchar* element, const gchar** names,
                              const gchar** values, gpointer data, GError**) {
        auto& found = *static_cast<std::optional<std::string>*>(data);
        if (found || std::strcmp(element, "release") != 0) {
            return;
        }
        for (int i = 0; names[i] != nullptr; ++i) {
            if (std::strcmp(names[i], "version") == 0) {
                found = values[i];
            }
        }
    };
    GMarkupParseContext* context =
        g_markup_parse_context_new(&parser, G_MARKUP_DEFAULT_FLAGS, &version, nullptr);
    g_markup_parse_context_parse(context, text->data(), static_cast<gssize>(text->size()), nullptr);
    g_markup_parse_context_free(context);
    return version;
}

// Top-level text values of a snap's snap.yaml (name, version, title), through libyaml.
std::map<std::string, std::string> snapFields(const std::string& file) {
    std::map<std::string, std::string> fields;
    const auto text = readSmallFile(file);
    if (!text) {
        return fields;
    }
    yaml_parser_t parser;
    if (yaml_parser_initialize(&parser) == 0) {
        return fields;
    }
    yaml_parser_set_input_string(&parser, reinterpret_cast<const unsigned char*>(text->data()),
                                 text->size());
    yaml_document_t document;
    if (yaml_parser_load(&parser, &document) != 0) {
        const yaml_node_t* root = yaml_document_get_root_node(&document);
        if (root != nullptr && root->type == YAML_MAPPING_NODE) {
            for (auto* pair = root->data.mapping.pairs.start; pair < root->data.mapping.pairs.top;
                 ++pair) {
                const auto* key = yaml_document_get_node(&document, pair->key);
                const auto* value = yaml_document_get_node(&document, pair->value);
                if (key == nullptr || value == nullptr || key->type != YAML_SCALAR_NODE ||
                    value->type != YAML_SCALAR_NODE) {
                    continue;
                }
                fields.try_emplace(
                    std::string(reinterpret_cast<const char*>(key->data.scalar.value),
                                key->data.scalar.length),
                    std::string(reinterpret_cast<const char*>(value->data.scalar.value),
                                value->data.scalar.length));
            }
        }
        yaml_document_delete(&document);
    }
    yaml_parser_delete(&parser);
    return fields;
}

// Where a program in the home folder was installed: the folder directly below one of the
// places people unpack programs into, or the file itself in a folder of loose programs.
std::optional<std::string> installFolderOf(const std::string& program, const std::string& home) {
    if (!program.starts_with('/') || !SafetyPolicy::contains(program, home) || program == home) {
        return std::nullopt;
    }
    for (const auto* place : {".local/opt", "opt", "Applications", ".local/share/applications"}) {
        const auto root = path::appending(home, place);
        if (SafetyPolicy::contains(program, root) && program != root) {
            const auto rest = std::string_view(program).substr(root.size() + 1);
            return path::appending(root, rest.substr(0, rest.find('/')));
        }
    }
    for (const auto* loose : {".local/bin", "bin"}) {
        if (path::deletingLastComponent(program) == path::appending(home, loose)) {
            return program;
        }
    }
    // A folder of its own directly in the home folder (~/firefox/firefox), never a hidden one.
    const auto rest = std::string_view(program).substr(home.size() + 1);
    const auto slash = rest.find('/');
    if (slash != std::string_view::npos && !rest.starts_with('.')) {
        return path::appending(home, rest.substr(0, slash));
    }
    return std::nullopt;
}

}  // namespace

AppPlaces AppPlaces::current(const std::string& home) {
    AppPlaces places;
    places.userApplications = path::appending(platform::dataHome(), "applications");
    // Flatpak's own variables move its installations; honoured as Flatpak honours them.
    const auto userDir = platform::environmentVariable("FLATPAK_USER_DIR").value_or("");
    places.flatpakUser =
        userDir.starts_with('/') ? userDir : path::appending(platform::dataHome(), "flatpak");
    const auto systemDir = platform::environmentVariable("FLATPAK_SYSTEM_DIR").value_or("");
    places.flatpakSystem = systemDir.starts_with('/') ? systemDir : "/var/lib/flatpak";
    places.appImageFolders = {
        path::appending(home, "Applications"), path::appending(home, ".local/bin"),
        path::appending(home, "AppImages"), AppPaths::expand("$XDG_DOWNLOAD_DIR")};
    places.snapRoot = "/snap";
    places.snapFiles = "/var/lib/snapd/snaps";
    return places;
}

bool AppInventory::isAppImage(const std::string& file) {
    // Only the first bytes: an AppImage is often hundreds of megabytes.
    const int fd = ::open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    unsigned char head[11] = {};
    const auto got = ::pread(fd, head, sizeof head, 0);
    ::close(fd);
    return got == static_cast<ssize_t>(sizeof head) &&
           std::memcmp(head,
                       "\x7f"
                       "ELF",
                       4) == 0 &&
           head[8] == 'A' && head[9] == 'I' && (head[10] == 1 || head[10] == 2);
}

std::vector<InstalledApp> AppInventory::desktopApplications() const {
    std::vector<InstalledApp> apps;
    std::set<std::string> folders;
    for (const auto& name : DesktopEntry::namesIn(places.userApplications)) {
        if (name.starts_with("appimagekit_")) {
            continue;  // an AppImage's integration; the AppImage itself is listed
        }
        const auto entry = DesktopEntry::read(path::appending(places.userApplications, name));
        if (!entry || entry->text("Type").value_or("") != "Application" ||
            entry->flag("NoDisplay", false) || entry->flag("Hidden", false)) {
            continue;
        }
        const auto program = entry->program();
        const auto folder =
            program ? installFolderOf(path::standardize(*program), home) : std::nullopt;
        if (!folder || !FileTools::exists(*folder) || !folders.insert(*folder).second) {
            continue;
        }
        InstalledApp app;
        app.source = AppSource::desktopEntry;
        app.path = *folder;
        app.bundleID = name.substr(0, name.size() - 8);
        app.name = entry->text("Name", true).value_or(app.bundleID);
        app.executable = program;
        app.icon = entry->text("Icon");
        app.desktopEntry = entry->path();
        measure(app);
        apps.push_back(std::move(app));
    }
    return apps;
}

std::vector<InstalledApp> AppInventory::flatpaks(std::stop_token stop) const {
    std::vector<InstalledApp> apps;
    for (const auto& installation : {places.flatpakUser, places.flatpakSystem}) {
        if (installation.empty()) {
            continue;
        }
        const auto appsFolder = path::appending(installation, "app");
        auto ids = platform::listDirectory(appsFolder).value_or(std::vector<std::string>{});
        std::sort(ids.begin(), ids.end());
        for (const auto& id : ids) {
            if (stop.stop_requested()) {
                return apps;
            }
            const auto deployed = path::appending(appsFolder, id + "/current/active");
            if (!isApplicationID(id) || !FileTools::exists(path::appending(deployed, "metadata"))) {
                continue;
            }
            InstalledApp app;
            app.source = AppSource::flatpak;
            app.path = path::appending(appsFolder, id);
            app.bundleID = id;
            app.name = id;
            if (const auto entry = DesktopEntry::read(
                    path::appending(deployed, "export/share/applications/" + id + ".desktop"))) {
                app.name = entry->text("Name", true).value_or(id);
                app.icon = entry->text("Icon");
            }
            for (const auto* metainfo : {"files/share/metainfo/", "files/share/appdata/"}) {
                for (const auto* suffix : {".metainfo.xml", ".appdata.xml"}) {
                    if (!app.version.empty()) {
                        break;
                    }
                    app.version =
                        appStreamVersion(path::appending(deployed, metainfo + id + suffix))
                            .value_or("");
                }
            }
            measure(app);
            apps.push_back(std::move(app));
        }
    }
    return apps;
}

std::vector<InstalledApp> AppInventory::appImages() const {
    std::vector<InstalledApp> apps;
    std::set<std::string> seen;
    for (const auto& folder : places.appImageFolders) {
        auto names = platform::listDirectory(folder).value_or(std::vector<std::string>{});
        std::sort(names.begin(), names.end());
        for (const auto& name : names) {
            const auto file = path::appending(folder, name);
            const auto values = platform::entryValues(file, false);
            // Links are left alone: the AppImage they lead to is listed where it lies.
            if (name.front() == '.' || !values || !values->isRegularFile() ||
                !seen.insert(file).second || !isAppImage(file)) {
                continue;
            }
            InstalledApp app;
            app.source = AppSource::appImage;
            app.path = file;
            app.bundleID = name;
            // "Tool-1.2.3-x86_64.AppImage" → "Tool", "1.2.3".
            std::string stem = name;
            if (const auto dot = stem.rfind('.');
                dot != std::string::npos &&
                path::lowercasedASCII(stem.substr(dot)) == ".appimage") {
                stem.erase(dot);
            }
            for (const auto* arch : {"-x86_64", "_x86_64", "-aarch64", "_aarch64", "-amd64",
                                     "_amd64", "-arm64", "-i686", "-armhf"}) {
                if (stem.ends_with(arch)) {
                    stem.erase(stem.size() - std::strlen(arch));
                }
            }
            for (std::size_t i = 1; i + 1 < stem.size(); ++i) {
                if ((stem[i] == '-' || stem[i] == '_') &&
                    std::isdigit(static_cast<unsigned char>(stem[i + 1]))) {
                    app.version = stem.substr(i + 1);
                    stem.erase(i);
                    break;
                }
            }
            app.name = stem.empty() ? name : stem;
            app.executable = file;
            measure(app);
            apps.push_back(std::move(app));
        }
    }
    return apps;
}

std::vector<InstalledApp> AppInventory::snaps() const {
    std::vector<InstalledApp> apps;
    if (places.snapRoot.empty()) {
        return apps;
    }
    auto names = platform::listDirectory(places.snapRoot).value_or(std::vector<std::string>{});
    std::sort(names.begin(), names.end());
    for (const auto& name : names) {
        // "bin" holds the command links, and snapd's own base snaps are not applications.
        if (!isSnapName(name) || name == "bin" || name == "snapd" || name.starts_with("core")) {
            continue;
        }
        const auto folder = path::appending(places.snapRoot, name);
        const auto fields = snapFields(path::appending(folder, "current/meta/snap.yaml"));
        const auto declared = fields.find("name");
        if (declared == fields.end() || declared->second != name) {
            continue;
        }
        if (const auto type = fields.find("type"); type != fields.end() && type->second != "app") {
            continue;  // bases, kernels, gadgets and snapd
        }
        InstalledApp app;
        app.source = AppSource::snap;
        app.path = folder;
        app.bundleID = name;
        const auto title = fields.find("title");
        app.name = title != fields.end() && !title->second.empty() ? title->second : name;
        if (const auto version = fields.find("version"); version != fields.end()) {
            app.version = version->second;
        }
        // Each revision is a read-only image mounted there; the images are what takes space.
        if (const auto values = platform::entryValues(folder, false)) {
            app.modified = values->modified;
        }
        for (const auto& file :
             platform::listDirectory(places.snapFiles).value_or(std::vector<std::string>{})) {
            if (file.starts_with(name + "_") && file.ends_with(".snap")) {
                app.size += FileTools::allocatedSize(path::appending(places.snapFiles, file));
            }
        }
        apps.push_back(std::move(app));
    }
    return apps;
}

void AppInventory::uninstall(const InstalledApp& app, const platform::CommandRunner& run) const {
    auto runTool = [&](const char* tool, const std::vector<std::string>& argv,
                       const std::string& how) {
        const auto result = run(argv);
        if (!result.started) {
            throw FileSystemError(std::string(tool) + " is not installed here, so " + app.name +
                                      " cannot be removed." + how,
                                  std::make_error_code(std::errc::no_such_file_or_directory));
        }
        if (result.exitStatus != 0) {
            const auto reason = result.output.substr(0, result.output.find('\n'));
            throw FileSystemError(std::string(tool) + " could not remove " + app.name +
                                      (reason.empty() ? std::string() : ": " + reason) + "." + how,
                                  std::make_error_code(std::errc::operation_not_permitted));
        }
    };
    switch (app.source) {
        case AppSource::flatpak: {
            // The ID came from a folder name: used only when it is one.
            if (!isApplicationID(app.bundleID)) {
                throw FileSystemError(app.name + " has no Flatpak ID Kelvane can use.",
                                      std::make_error_code(std::errc::invalid_argument));
            }
            const bool user =
                !places.flatpakUser.empty() && SafetyPolicy::contains(app.path, places.flatpakUser);
            runTool("Flatpak",
                    {"flatpak", "uninstall", "--noninteractive", user ? "--user" : "--system",
                     app.bundleID},
                    "");
            return;
        }
        case AppSource::snap:
            if (!isSnapName(app.bundleID)) {
                throw FileSystemError(app.name + " has no snap name Kelvane can use.",
                                      std::make_error_code(std::errc::invalid_argument));
            }
            runTool("Snap", {"snap", "remove", app.bundleID},
                    " Remove it in a terminal with “sudo snap remove " + app.bundleID + "”.");
            return;
        case AppSource::bundle:
        case AppSource::desktopEntry:
        case AppSource::appImage:
            break;
    }
    trashApplication(app);
    // Its desktop entries go with it, so the menus no longer offer a program that is gone.
    std::vector<std::string> entries;
    if (app.desktopEntry) {
        entries.push_back(*app.desktopEntry);
    }
    std::set<std::string> icons;
    if (app.source == AppSource::appImage) {
        for (const auto& name : DesktopEntry::namesIn(places.userApplications)) {
            const auto file = path::appending(places.userApplications, name);
            if (const auto entry = DesktopEntry::read(file);
                name.starts_with("appimagekit_") && entry && entry->program() == app.path) {
                entries.push_back(file);
                // The integration's icons carry the same "appimagekit_" name.
                if (const auto icon = entry->text("Icon");
                    icon && icon->starts_with("appimagekit_") && path::isSingleComponent(*icon)) {
                    icons.insert(*icon);
                }
            }
        }
    }
    const auto iconFolder = path::appending(platform::dataHome(), "icons");
    if (!icons.empty()) {
        platform::WalkOptions options;
        platform::walkDirectory(iconFolder, options, [&](const platform::WalkEntry& entry) {
            const auto stem = std::string(entry.name.substr(0, entry.name.rfind('.')));
            if (entry.values.isRegularFile() && icons.contains(stem)) {
                entries.emplace_back(entry.path);
            }
            return platform::WalkAction::proceed;
        });
    }
    for (const auto& file : entries) {
        if (FileTools::exists(file) && (SafetyPolicy::contains(file, places.userApplications) ||
                                        SafetyPolicy::contains(file, iconFolder))) {
            InstalledApp entry;
            entry.path = file;
            trashApplication(entry);
        }
    }
}

}  // namespace kelvane
