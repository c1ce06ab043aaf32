// systemd user units as login items. A unit is enabled for the user by a link in a
// "<target>.wants" or "<target>.requires" folder under $XDG_CONFIG_HOME/systemd/user, and for
// every user under /etc/systemd/user. Kelvane switches the user's own through the user's
// service manager, and remembers which ones it switched off so that they stay listed.

#include <unistd.h>

#include <algorithm>
#include <map>
#include <set>

#include "platform/DirectoryWalker.h"
#include "platform/FileIO.h"
#include "platform/FileSystem.h"
#include "platform/FileSystemError.h"
#include "platform/OpenFolder.h"
#include "platform/PathText.h"
#include "system/StartupItems.h"

namespace kelvane {

namespace {

constexpr std::size_t maxUnitSize = 1u << 20;
constexpr std::string_view parkedUnitsFolder = "systemd";

// A unit name as systemd accepts one: letters, digits and ":-_.\@", a known type suffix, at
// most 255 bytes. Anything else read from a folder is not a unit and never becomes a path.
bool isUnitName(std::string_view name) {
    static constexpr std::array<std::string_view, 11> types{
        ".service",   ".socket", ".target", ".timer", ".path",  ".mount",
        ".automount", ".swap",   ".slice",  ".scope", ".device"};
    if (name.empty() || name.size() > 255 || name.front() == '.') {
        return false;
    }
    const bool typed = std::any_of(types.begin(), types.end(), [&](std::string_view type) {
        return name.size() > type.size() && name.ends_with(type);
    });
    return typed && std::all_of(name.begin(), name.end(), [](char c) {
               return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                      c == ':' || c == '-' || c == '_' || c == '.' || c == '\\' || c == '@';
           });
}

// "name@instance.service" is described by "name@.service".
std::string templateOf(const std::string& unit) {
    const auto at = unit.find('@');
    const auto dot = unit.rfind('.');
    if (at == std::string::npos || dot == std::string::npos || dot < at || at + 1 == dot) {
        return unit;
    }
    return unit.substr(0, at + 1) + unit.substr(dot);
}

struct UnitFacts {
    std::optional<std::string> description;
    std::optional<std::string> execStart;
    // `systemctl enable` can make its links again only from an [Install] section; a unit
    // linked by hand would stay off for good once disabled.
    bool installable = false;
};

// The two keys Kelvane shows, read the way systemd reads a unit file: sections in brackets,
// "#" and ";" comments, a backslash at a line's end continuing it.
UnitFacts readUnit(const std::string& file) {
    UnitFacts facts;
    std::string text;
    try {
        text = platform::readFile(file, maxUnitSize);
    } catch (const std::exception&) {
        return facts;
    }
    std::string section;
    std::string line;
    std::size_t start = 0;
    while (start < text.size()) {
        auto end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string_view piece(text.data() + start, end - start);
        start = end + 1;
        if (!piece.empty() && piece.back() == '\r') {
            piece.remove_suffix(1);
        }
        if (!piece.empty() && piece.back() == '\\') {
            line.append(piece.substr(0, piece.size() - 1)).append(" ");
            continue;
        }
        line.append(piece);
        const auto first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#' || line[first] == ';') {
            line.clear();
            continue;
        }
        if (line[first] == '[') {
            section = line.substr(first, line.find(']', first) - first + 1);
            line.clear();
            continue;
        }
        const auto equals = line.find('=');
        if (equals != std::string::npos) {
            std::string key = line.substr(first, equals - first);
            key.erase(key.find_last_not_of(" \t") + 1);
            std::string value = line.substr(equals + 1);
            value.erase(0, value.find_first_not_of(" \t"));
            value.erase(value.find_last_not_of(" \t") + 1);
            if (section == "[Unit]" && key == "Description") {
                facts.description = value;
            } else if (section == "[Service]" && key == "ExecStart" && !value.empty() &&
                       !facts.execStart) {
                facts.execStart = value;
            } else if (section == "[Install]" && (key == "WantedBy" || key == "RequiredBy") &&
                       !value.empty()) {
                facts.installable = true;
            }
        }
        line.clear();
    }
    return facts;
}

// The program of an ExecStart line: its first word, without the prefixes that change how
// systemd runs it ("@", "-", ":", "+", "!").
std::optional<std::string> programOf(const std::optional<std::string>& exec) {
    if (!exec) {
        return std::nullopt;
    }
    std::string_view text(*exec);
    const auto prefix = text.find_first_not_of("@-:+!");
    if (prefix == std::string_view::npos) {
        return std::nullopt;
    }
    text.remove_prefix(prefix);
    std::string word;
    if (!text.empty() && (text.front() == '"' || text.front() == '\'')) {
        const auto close = text.find(text.front(), 1);
        word = std::string(text.substr(1, close == std::string_view::npos ? close : close - 1));
    } else {
        word = std::string(text.substr(0, text.find_first_of(" \t")));
    }
    if (word.empty()) {
        return std::nullopt;
    }
    return word;
}

// The unit file a wants-link names: the link's target when it is there, else the first
// file of that name (or its template's) on the search path.
std::optional<std::string> unitFile(const std::string& link, const std::string& unit,
                                    const StartupSources& sources) {
    if (const auto values = platform::entryValues(link, true); values && values->isRegularFile()) {
        return platform::resolveSymbolicLinks(link);
    }
    for (const auto& name : {unit, templateOf(unit)}) {
        for (const auto& folder : sources.unitSearchPath) {
            const auto candidate = path::appending(folder, name);
            if (const auto values = platform::entryValues(candidate, true);
                values && values->isRegularFile()) {
                return candidate;
            }
        }
    }
    return std::nullopt;
}

// Every unit enabled in one configuration folder, by name, with the link that enables it.
std::map<std::string, std::string> enabledUnits(const std::string& folder) {
    std::map<std::string, std::string> units;
    for (const auto& wants : platform::listDirectory(folder).value_or(std::vector<std::string>{})) {
        if (!wants.ends_with(".wants") && !wants.ends_with(".requires")) {
            continue;
        }
        const auto wantsFolder = path::appending(folder, wants);
        for (const auto& name :
             platform::listDirectory(wantsFolder).value_or(std::vector<std::string>{})) {
            if (isUnitName(name)) {
                units.try_emplace(name, path::appending(wantsFolder, name));
            }
        }
    }
    return units;
}

StartupItem itemOf(const std::string& unit, const std::string& link, StartupKind kind,
                   const StartupSources& sources, bool* installable = nullptr) {
    StartupItem item;
    item.source = StartupSource::systemdUnit;
    item.kind = kind;
    item.runAtLoad = true;
    const auto file = unitFile(link, unit, sources);
    item.path = file.value_or(link);
    const auto facts = file ? readUnit(*file) : UnitFacts{};
    item.label = facts.description.value_or(unit);
    item.program = programOf(facts.execStart);
    if (installable != nullptr) {
        *installable = facts.installable;
    }
    return item;
}

std::string parkedFolder(const StartupSources& sources) {
    return path::appending(sources.parked, parkedUnitsFolder);
}

}  // namespace

std::vector<StartupItem> StartupItems::userUnits(const StartupSources& sources) {
    std::vector<StartupItem> items;
    const auto enabled = enabledUnits(sources.userUnits);
    for (const auto& [unit, link] : enabled) {
        bool installable = false;
        auto item = itemOf(unit, link, StartupKind::userAgent, sources, &installable);
        item.isEnabled = true;
        item.canToggle = installable;
        items.push_back(std::move(item));
    }
    // The units Kelvane switched off: no link names them any more.
    for (const auto& unit :
         platform::listDirectory(parkedFolder(sources)).value_or(std::vector<std::string>{})) {
        if (!isUnitName(unit) || enabled.contains(unit)) {
            continue;
        }
        auto item =
            itemOf(unit, path::appending(sources.userUnits, unit), StartupKind::userAgent, sources);
        item.isEnabled = false;
        item.canToggle = true;
        items.push_back(std::move(item));
    }
    std::set<std::string> machineWide;
    for (const auto& folder : sources.systemUnits) {
        for (const auto& [unit, link] : enabledUnits(folder)) {
            if (!machineWide.insert(unit).second) {
                continue;
            }
            auto item = itemOf(unit, link, StartupKind::systemAgent, sources);
            item.isEnabled = true;
            item.canToggle = false;
            items.push_back(std::move(item));
        }
    }
    return items;
}

StartupItem StartupItems::setUserUnit(const StartupItem& item, bool enabled,
                                      const StartupSources& sources,
                                      const platform::CommandRunner& run) {
    if (!item.canToggle || item.kind != StartupKind::userAgent) {
        return item;
    }
    // The unit's name: the enabled link's or the parked marker's, which is how it was found.
    std::optional<std::string> unit;
    const auto list = platform::listDirectory(parkedFolder(sources));
    for (const auto& [name, link] : enabledUnits(sources.userUnits)) {
        if (itemOf(name, link, StartupKind::userAgent, sources).path == item.path) {
            unit = name;
        }
    }
    for (const auto& name : list.value_or(std::vector<std::string>{})) {
        if (isUnitName(name) &&
            itemOf(name, path::appending(sources.userUnits, name), StartupKind::userAgent, sources)
                    .path == item.path) {
            unit = name;
        }
    }
    if (!unit) {
        return item;
    }
    const auto result = run({"systemctl", "--user", enabled ? "enable" : "disable", *unit});
    if (!result.started) {
        throw FileSystemError(
            "systemctl could not be started, so " + item.label + " cannot be switched here.",
            std::make_error_code(std::errc::no_such_file_or_directory));
    }
    if (result.exitStatus != 0) {
        auto reason = result.output.substr(0, result.output.find('\n'));
        if (reason.find("Failed to connect to bus") != std::string::npos ||
            reason.find("$DBUS_SESSION_BUS_ADDRESS") != std::string::npos) {
            reason = "there is no user service manager running in this session";
        }
        throw FileSystemError("systemd could not switch " + item.label +
                                  (enabled ? " on" : " off") +
                                  (reason.empty() ? std::string() : ": " + reason) + ".",
                              std::make_error_code(std::errc::operation_not_permitted));
    }
    // `systemctl` may succeed without doing it (a unit with nothing to enable); the links say.
    if (enabledUnits(sources.userUnits).contains(*unit) != enabled) {
        const auto reason = result.output.substr(0, result.output.find('\n'));
        throw FileSystemError("systemd did not switch " + item.label + (enabled ? " on" : " off") +
                                  (reason.empty() ? std::string() : ": " + reason) + ".",
                              std::make_error_code(std::errc::operation_not_permitted));
    }
    const auto marker = path::appending(parkedFolder(sources), *unit);
    if (enabled) {
        ::unlink(marker.c_str());
    } else {
        std::error_code error;
        auto folder = platform::openOrCreateFolderNoFollow(parkedFolder(sources), 0700, error);
        if (folder) {
            platform::writeFileAtomically(marker, "");
        }
    }
    auto switched = item;
    switched.isEnabled = enabled;
    return switched;
}

}  // namespace kelvane
