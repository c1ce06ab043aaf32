// The commands over Kelvane's stored state: the rule catalogue, the quarantine, the history,
// login items, applications and their uninstall, and the settings with the schedule.

#include <algorithm>
#include <cctype>
#include <iostream>

#include "Commands.h"
#include "JsonRecords.h"
#include "files/AppPaths.h"
#include "model/Format.h"
#include "model/RuleCatalogue.h"
#include "platform/FileSystem.h"
#include "settings/ScanSchedule.h"
#include "support/Calendar.h"
#include "support/Saturating.h"

namespace kelvane::cli {

namespace {

std::string_view safetyLabel(SafetyLevel level) {
    switch (level) {
        case SafetyLevel::safe:
            return "Safe";
        case SafetyLevel::caution:
            return "Caution";
        case SafetyLevel::optIn:
            return "Opt-in";
    }
    return {};
}

std::string ageLabel(std::int64_t days) {
    if (days <= 0) {
        return "any age";
    }
    return days == 1 ? "older than 1 day" : "older than " + std::to_string(days) + " days";
}

// The command's first word, or `fallback` when there is none.
std::string actionOf(const Context& context, const std::string& fallback) {
    return context.args.positional().empty() ? fallback : context.args.positional()[0];
}

// The batch whose ID is `text` or begins with it, when only one does.
QuarantineBatch findBatch(const AppState& state, const std::string& text) {
    std::vector<QuarantineBatch> matches;
    for (const auto& batch : state.batches()) {
        if (batch.id == text) {
            return batch;
        }
        if (!text.empty() && batch.id.rfind(text, 0) == 0) {
            matches.push_back(batch);
        }
    }
    if (matches.size() == 1) {
        return matches.front();
    }
    throw OperationError(matches.empty() ? "There is no quarantine batch " + text + "."
                                         : "More than one batch begins with " + text + ".");
}

InstalledApp findApp(Session& session, const std::string& text) {
    auto& state = session.state();
    state.loadApplications(true);
    session.runUntil([&] { return !state.isLoadingApps(); });
    const auto path = text.find('/') != std::string::npos ? absolutePath(text) : std::string();
    for (const auto& app : state.installedApps()) {
        if (app.path == path || app.bundleID == text) {
            return app;
        }
    }
    // By the name the list shows, when only one application has it.
    std::vector<InstalledApp> named;
    std::copy_if(state.installedApps().begin(), state.installedApps().end(),
                 std::back_inserter(named),
                 [&](const InstalledApp& app) { return app.name == text; });
    if (named.size() == 1) {
        return named.front();
    }
    throw OperationError(named.empty() ? "There is no installed application " + text + "."
                                       : "More than one application is called " + text +
                                             "; name it by its path or ID.");
}

std::vector<ScanItem> leftoversOf(Session& session, const InstalledApp& app) {
    std::optional<std::vector<ScanItem>> found;
    session.state().leftovers(app, [&](std::vector<ScanItem> items) { found = std::move(items); });
    session.runUntil([&] { return found.has_value(); });
    return *found;
}

ControllerOptions withApplicationRoots(const Context& context) {
    auto options = commandOptions();
    const auto roots = context.args.values("--root");
    if (!roots.empty()) {
        std::vector<std::string> absolute;
        for (const auto& root : roots) {
            absolute.push_back(absolutePath(root));
        }
        options.applicationRoots = absolute;
    }
    return options;
}

std::int64_t totalSize(const std::vector<ScanItem>& items) {
    std::int64_t sum = 0;
    for (const auto& item : items) {
        sum = saturatingAdd(sum, item.size);
    }
    return sum;
}

void printSchedule(const ScanSchedule& schedule) {
    std::cout << "schedule = " << rawValue(schedule.mode);
    if (schedule.mode != ScheduleMode::manual) {
        char time[8];
        std::snprintf(time, sizeof time, "%02d:%02d", schedule.hour, schedule.minute);
        std::cout << " at " << time;
        if (schedule.mode == ScheduleMode::weekly) {
            std::cout << " on day " << schedule.weekday << " (1 = Sunday)";
        }
        const auto next = schedule.nextDue(now(), Calendar::current());
        std::cout << "; next run " << (next ? Format::date(*next) : "not scheduled");
    }
    std::cout << "\n";
}

}  // namespace

int rulesCommand(Context& context) {
    context.args.atMost(0);
    auto options = commandOptions();
    useCatalogue(context, options);
    Session session(std::move(options));
    const auto& state = session.state();
    const auto on = [&](const CleanRule& rule) {
        return state.settings().enabledRuleIDs.contains(rule.id);
    };
    if (context.json) {
        auto list = json::Json::array();
        for (const auto& rule : state.rules()) {
            auto object = rule.toJson();
            object["enabled"] = on(rule);
            list.push_back(object);
        }
        printJson(json::Json{{"rules", list}});
        return 0;
    }
    for (const auto& [group, rules] : state.groupedRules()) {
        std::cout << title(group) << " — " << summary(group) << "\n";
        for (const auto& rule : rules) {
            std::cout << "  " << (on(rule) ? "[on]  " : "[off] ") << rule.name << "  (" << rule.id
                      << ")\n"
                      << "        " << safetyLabel(rule.safety) << ", " << ageLabel(rule.minAgeDays)
                      << ", " << (rule.defaultEnabled ? "on" : "off") << " by default — "
                      << Format::shortPath(rule.path) << "\n";
        }
        std::cout << "\n";
    }
    std::cout << state.activeRules().size() << " of " << state.rules().size()
              << " rules are included in a scan.\n";
    return 0;
}

int quarantineCommand(Context& context) {
    const auto action = actionOf(context, "list");
    Session session(commandOptions());
    auto& state = session.state();
    if (action == "list") {
        context.args.atMost(1);
        if (context.json) {
            printJson(json::Json{{"batches", toJsonList(state.batches())},
                                 {"quarantineBytes", state.quarantineBytes()}});
            return 0;
        }
        if (state.batches().empty()) {
            std::cout << "The quarantine is empty.\n";
            return 0;
        }
        Table table({false, false, true, true, false, false});
        table.add({"Batch", "Expires", "Items", "Size", "Created", "Note"});
        for (const auto& batch : state.batches()) {
            table.add({batch.id.substr(0, 8), Format::date(batch.expiresAt),
                       std::to_string(batch.remainingItems().size()),
                       Format::bytes(batch.remainingBytes()), Format::date(batch.createdAt),
                       batch.note});
        }
        table.print(std::cout);
        std::cout << "\n" << Format::bytes(state.quarantineBytes()) << " in quarantine.\n";
        return 0;
    }
    if (action == "purge") {
        context.args.atMost(1);
        const auto notice = session.runUntilNotice([&] { state.purgeExpired(); });
        context.json ? printJson(json::Json{{"notice", notice}}) : printNotice(context, notice);
        return 0;
    }
    if (action != "restore" && action != "delete") {
        throw UsageError("unknown quarantine action '" + action + "'");
    }
    context.args.atMost(2);
    const auto batch = findBatch(state, context.args.word(1, "BATCH"));
    std::string notice;
    bool done = false;
    if (action == "restore") {
        notice = session.runUntilNotice([&] { state.restore(batch); });
        // Done only when nothing stayed behind; each item that did is named.
        const auto& failed = state.lastRestoreFailures();
        done = failed.empty() && notice.rfind("Restored ", 0) == 0;
        if (!failed.empty()) {
            if (notice.rfind("Restored ", 0) == 0) {
                printNotice(context, notice);
            }
            std::string all;
            for (const auto& line : failed) {
                all += (all.empty() ? "" : "\n") + line;
            }
            if (context.json) {
                printJson(json::Json{{"notice", notice}, {"failed", failed}});
                return 1;
            }
            throw OperationError(all);
        }
    } else {
        requireConfirmation(context,
                            "Delete " +
                                amount(batch.remainingBytes(),
                                       static_cast<std::int64_t>(batch.remainingItems().size())) +
                                " for good?");
        notice = session.runUntilNotice([&] { state.deletePermanently(batch); });
        done = notice == "Quarantine batch deleted.";
    }
    if (!done) {
        throw OperationError(notice);
    }
    context.json ? printJson(json::Json{{"notice", notice}}) : printNotice(context, notice);
    return 0;
}

int historyCommand(Context& context) {
    context.args.atMost(0);
    Session session(commandOptions());
    const auto& history = session.state().history();
    if (context.json) {
        printJson(json::Json{{"history", toJsonList(history)}});
        return 0;
    }
    if (history.empty()) {
        std::cout << "Nothing has been cleaned yet.\n";
        return 0;
    }
    Table table({false, true, true, false, false});
    for (const auto& entry : history) {
        std::string categories;
        for (const auto& category : entry.categories) {
            categories += (categories.empty() ? "" : ", ") + category;
        }
        table.add({Format::date(entry.date), Format::bytes(entry.bytes),
                   Format::fileCount(entry.itemCount), entry.note, categories});
    }
    table.print(std::cout);
    return 0;
}

int startupCommand(Context& context) {
    const auto action = actionOf(context, "list");
    Session session(commandOptions());
    auto& state = session.state();
    if (action == "list") {
        context.args.atMost(1);
        if (context.json) {
            printJson(json::Json{{"startupItems", toJsonList(state.startupItems())}});
            return 0;
        }
        if (state.startupItems().empty()) {
            std::cout << "No login items were found.\n";
            return 0;
        }
        Table table({false, false, false, false});
        for (const auto& item : state.startupItems()) {
            table.add({item.isEnabled ? "on" : "off", item.label,
                       item.kind == StartupKind::userAgent ? "user" : "machine-wide",
                       Format::shortPath(item.path)});
        }
        table.print(std::cout);
        return 0;
    }
    if (action != "enable" && action != "disable") {
        throw UsageError("unknown startup action '" + action + "'");
    }
    context.args.atMost(2);
    const auto& label = context.args.word(1, "LABEL");
    const bool enable = action == "enable";
    const auto& items = state.startupItems();
    const auto found = std::find_if(items.begin(), items.end(), [&](const StartupItem& item) {
        return item.label == label || item.path == absolutePath(label);
    });
    if (found == items.end()) {
        throw OperationError("There is no login item " + label + ".");
    }
    const auto item = *found;
    if (!item.canToggle) {
        throw OperationError(item.label + " is a machine-wide agent and cannot be switched here.");
    }
    std::string notice = item.label + (enable ? " is already enabled." : " is already disabled.");
    if (item.isEnabled != enable) {
        notice = session.runUntilNotice([&] { state.toggleStartup(item); });
        if (notice.find(" after you sign in again.") == std::string::npos) {
            throw OperationError(notice);
        }
    }
    context.json ? printJson(json::Json{{"notice", notice}}) : printNotice(context, notice);
    return 0;
}

int appsCommand(Context& context) {
    const auto action = actionOf(context, "list");
    Session session(withApplicationRoots(context));
    auto& state = session.state();
    if (action == "list") {
        context.args.atMost(1);
        state.loadApplications(true);
        session.runUntil([&] { return !state.isLoadingApps(); });
        if (context.json) {
            printJson(json::Json{{"applications", toJsonList(state.installedApps())}});
            return 0;
        }
        if (state.installedApps().empty()) {
            std::cout << "No applications were found.\n";
            return 0;
        }
        Table table({false, false, true, false});
        for (const auto& app : state.installedApps()) {
            table.add({app.name, app.version, Format::bytes(app.size), app.bundleID});
        }
        table.print(std::cout);
        return 0;
    }
    if (action != "leftovers" && action != "uninstall") {
        throw UsageError("unknown apps action '" + action + "'");
    }
    context.args.atMost(2);
    const auto app = findApp(session, context.args.word(1, "APP"));
    const auto leftovers = leftoversOf(session, app);
    if (action == "leftovers") {
        if (context.json) {
            printJson(json::Json{{"app", toJson(app)},
                                 {"items", toJson(leftovers)},
                                 {"totalBytes", totalSize(leftovers)}});
            return 0;
        }
        Table table({true, false});
        for (const auto& item : leftovers) {
            table.add({Format::bytes(item.size), Format::shortPath(item.path)});
        }
        table.print(std::cout);
        std::cout << (leftovers.empty()
                          ? "No leftovers were found."
                          : "Total: " + amount(totalSize(leftovers),
                                               static_cast<std::int64_t>(leftovers.size())))
                  << "\n";
        return 0;
    }
    requireConfirmation(
        context, "Move " + app.name + " (" + Format::bytes(app.size) + ") to the Trash" +
                     (leftovers.empty() ? std::string()
                                        : " and " +
                                              amount(totalSize(leftovers),
                                                     static_cast<std::int64_t>(leftovers.size())) +
                                              " of leftovers to quarantine") +
                     "?");
    const auto notice = session.runUntilNotice([&] { state.uninstall(app, leftovers); });
    if (notice.find(" is in the Trash.") == std::string::npos) {
        throw OperationError(notice);
    }
    context.json ? printJson(json::Json{{"notice", notice}}) : printNotice(context, notice);
    return 0;
}

namespace {

int settingWeekday(const std::string& text) {
    static const std::array<std::string, 7> names{"sunday",   "monday", "tuesday", "wednesday",
                                                  "thursday", "friday", "saturday"};
    std::string lower;
    for (const char c : text) {
        lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (lower.size() >= 3 && names[i].rfind(lower, 0) == 0) {
            return static_cast<int>(i) + 1;
        }
    }
    return static_cast<int>(parseNumber(text, "WEEKDAY", 1, 7));
}

bool settingFlag(const std::string& text, const std::string& key) {
    if (text == "on" || text == "true" || text == "yes") {
        return true;
    }
    if (text == "off" || text == "false" || text == "no") {
        return false;
    }
    throw UsageError(key + ": expected on or off, got '" + text + "'");
}

}  // namespace

// A settings change that could not be saved is an error, never a success with new values.
void saveOrFail(AppState& state) {
    if (const auto failure = state.persistSettings()) {
        throw OperationError(*failure);
    }
}

int settingsCommand(Context& context) {
    const auto action = actionOf(context, "show");
    Session session(commandOptions());
    auto& state = session.state();
    std::optional<std::string> notice;

    if (action == "show") {
        context.args.atMost(1);
    } else if (action == "set") {
        context.args.atMost(3);
        const auto& key = context.args.word(1, "KEY");
        const auto& value = context.args.word(2, "VALUE");
        if (key.rfind("rule:", 0) == 0) {
            const auto rule = RuleCatalogue::rule(key.substr(5), state.rules());
            if (!rule) {
                throw UsageError("KEY: no rule with the ID '" + key.substr(5) + "'");
            }
            state.setRule(*rule, settingFlag(value, key));
            saveOrFail(state);
        } else {
            state.updateSettings([&](AppSettings& settings) {
                if (key == "retentionDays") {
                    settings.retentionDays = parseNumber(value, key, 1, 3650);
                } else if (key == "minLargeFileMB") {
                    settings.minLargeFileMB = parseNumber(value, key, 0, 8'000'000);
                } else if (key == "minDuplicateMB") {
                    settings.minDuplicateMB = parseNumber(value, key, 0, 8'000'000);
                } else if (key == "largeFileRoot") {
                    settings.largeFileRoot = absolutePath(value);
                } else if (key == "duplicateRoot") {
                    settings.duplicateRoot = absolutePath(value);
                } else if (key == "hasCompletedOnboarding") {
                    settings.hasCompletedOnboarding = settingFlag(value, key);
                } else {
                    throw UsageError("unknown setting '" + key + "'");
                }
            });
            saveOrFail(state);
        }
    } else if (action == "ignore") {
        context.args.atMost(3);
        const auto& verb = context.args.word(1, "add or remove");
        const auto path = absolutePath(context.args.word(2, "PATH"));
        if (verb == "add") {
            const auto before = state.settings().ignoreList.size();
            state.addIgnore(path);
            saveOrFail(state);
            notice = state.settings().ignoreList.size() != before
                         ? *state.toast()
                         : Format::shortPath(path) + " is already ignored.";
        } else if (verb == "remove") {
            auto list = state.settings().ignoreList;
            if (std::erase(list, path) == 0) {
                throw OperationError(Format::shortPath(path) + " is not in the ignore list.");
            }
            state.updateSettings(
                [&](AppSettings& settings) { std::erase(settings.ignoreList, path); });
            saveOrFail(state);
        } else {
            throw UsageError("unknown ignore action '" + verb + "'");
        }
    } else if (action == "schedule") {
        context.args.atMost(4);
        const auto& modeText = context.args.word(1, "MODE");
        const auto mode = fromRawValue<ScheduleMode>(modeText);
        if (!mode) {
            throw UsageError("MODE: expected manual, daily or weekly, got '" + modeText + "'");
        }
        auto schedule = state.schedule();
        schedule.mode = *mode;
        if (context.args.positional().size() > 2) {
            const auto& time = context.args.positional()[2];
            const auto colon = time.find(':');
            if (colon == std::string::npos) {
                throw UsageError("HH:MM: expected a time such as 09:30, got '" + time + "'");
            }
            schedule.hour = static_cast<int>(parseNumber(time.substr(0, colon), "HH:MM", 0, 23));
            schedule.minute = static_cast<int>(parseNumber(time.substr(colon + 1), "HH:MM", 0, 59));
        }
        if (context.args.positional().size() > 3) {
            schedule.weekday = settingWeekday(context.args.positional()[3]);
        }
        state.setSchedule(schedule);
        try {
            ScheduleStore{AppPaths::scheduleFile()}.save(schedule);
        } catch (const std::exception& error) {
            throw OperationError(error.what());
        }
    } else {
        throw UsageError("unknown settings action '" + action + "'");
    }

    const auto& settings = state.settings();
    if (context.json) {
        json::Json document{{"settings", settings.toJson()},
                            {"schedule", state.schedule().toJson()}};
        if (notice) {
            document["notice"] = *notice;
        }
        printJson(document);
        return 0;
    }
    Table table({false, false});
    table.add({"retentionDays", std::to_string(settings.retentionDays)});
    table.add({"largeFileRoot", Format::shortPath(settings.largeFileRoot)});
    table.add({"minLargeFileMB", std::to_string(settings.minLargeFileMB)});
    table.add({"duplicateRoot", Format::shortPath(settings.duplicateRoot)});
    table.add({"minDuplicateMB", std::to_string(settings.minDuplicateMB)});
    table.add({"rules", std::to_string(state.activeRules().size()) + " of " +
                            std::to_string(state.rules().size()) + " on"});
    table.print(std::cout);
    std::cout << "ignore list" << (settings.ignoreList.empty() ? ": empty" : ":") << "\n";
    for (const auto& path : settings.ignoreList) {
        std::cout << "  " << Format::shortPath(path) << "\n";
    }
    printSchedule(state.schedule());
    if (notice) {
        printNotice(context, *notice);
    }
    return 0;
}

}  // namespace kelvane::cli
