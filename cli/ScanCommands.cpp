// The scanning commands (scan, large, duplicates, map) and the ones that move things into
// the quarantine (clean, move). Each runs the controller's own flow.

#include <QObject>
#include <cstdio>

#include <iostream>

#include "Commands.h"
#include "JsonRecords.h"
#include "Terminal.h"
#include "files/AppPaths.h"
#include "files/FileTools.h"
#include "model/Format.h"
#include "model/RuleCatalogue.h"
#include "platform/FileSystem.h"
#include "scan/DiskMapBuilder.h"
#include "support/Saturating.h"

namespace kelvane::cli {

namespace {

bool isStopNotice(const std::string& notice) {
    return notice == "Scan stopped." || notice == "Deep scan stopped." ||
           notice == "Large file scan stopped." || notice == "Duplicate scan stopped.";
}

std::string existingFolder(const std::string& path) {
    const auto folder = absolutePath(path);
    if (!FileTools::isDirectory(folder)) {
        throw OperationError(Format::shortPath(folder) + " is not a folder.");
    }
    return folder;
}

void showProgress(AppState& state, ProgressLine& line) {
    QObject::connect(&state, &AppState::progressChanged, [&] {
        if (const auto& p = state.progress()) {
            const bool betweenRules = p->completedRules == p->totalRules || p->title == "Preparing";
            line.show(betweenRules ? p->title
                                   : "Scanning " + p->title + " — rule " +
                                         std::to_string(p->completedRules + 1) + " of " +
                                         std::to_string(p->totalRules) + ", " +
                                         Format::integer(p->filesSeen) + " files seen");
        }
    });
    QObject::connect(&state, &AppState::deepStageChanged, [&] {
        if (!state.deepStage().empty()) {
            line.show("Deep scan: " + state.deepStage());
        }
    });
    QObject::connect(&state, &AppState::largeProgressFilesChanged, [&] {
        line.show("Large files: " + Format::integer(state.largeProgressFiles()) + " checked");
    });
    QObject::connect(&state, &AppState::duplicateProgressFilesChanged, [&] {
        line.show("Duplicates: " + Format::integer(state.duplicateProgressFiles()) + " checked");
    });
}

// Runs one scan of the controller with the progress line and Ctrl-C; returns its notice.
std::string runScan(const Context& context, Session& session, const std::function<void()>& start) {
    auto& state = session.state();
    ProgressLine line(context.quiet);
    showProgress(state, line);
    InterruptHandler interrupt([&state] { state.cancelScan(); });
    const auto notice = session.runUntilNotice(start);
    line.clear();
    return notice;
}

int stopped(const Context& context, const std::string& notice) {
    if (context.json) {
        printJson(json::Json{{"cancelled", true}, {"notice", notice}});
    } else {
        std::cerr << notice << "\n";
    }
    return 1;
}

void printItems(const std::vector<ScanItem>& items, const std::string& indent) {
    Table table({true, false, false});
    for (const auto& item : items) {
        table.add(
            {Format::bytes(item.size), Format::date(item.modified),
             Format::shortPath(item.path) + (item.kind == ScanItem::Kind::folder ? "/" : "")});
    }
    table.print(std::cout, indent);
}

std::vector<ScanItem> largestFirst(std::vector<ScanItem> items) {
    std::stable_sort(items.begin(), items.end(),
                     [](const ScanItem& a, const ScanItem& b) { return a.size > b.size; });
    return items;
}

void printJunk(const JunkScanResult& result) {
    for (const auto& rule : result.results) {
        if (rule.items.empty() && !rule.error) {
            continue;
        }
        std::cout << rule.rule.name << " — "
                  << amount(rule.totalBytes(), static_cast<std::int64_t>(rule.items.size()))
                  << (rule.truncated ? " (more not shown)" : "") << "\n";
        if (rule.error) {
            std::cout << "  " << *rule.error << "\n";
        }
        printItems(largestFirst(rule.items), "  ");
        std::cout << "\n";
    }
    std::cout << "Total: " << amount(result.totalBytes(), result.itemCount()) << "\n";
}

void printUnreadable(std::int64_t folders) {
    if (folders > 0) {
        std::cout << Format::unreadableFolders(folders) << "; their space is not counted.\n";
    }
}

void printLarge(const LargeFileScan& scan) {
    printItems(scan.items, "");
    std::cout << (scan.items.empty() ? "" : "\n") << Format::integer(scan.scannedFiles)
              << " entries checked" << (scan.truncated ? ", stopped at the budget" : "") << ".\n";
    printUnreadable(scan.unreadableFolders);
}

void printDuplicates(const DuplicateScan& scan) {
    for (const auto& group : scan.groups) {
        std::cout << Format::bytes(group.size) << " × " << group.files.size() << " — "
                  << Format::bytes(group.reclaimableBytes()) << " reclaimable — "
                  << group.hash.substr(0, 16) << "\n";
        printItems(group.files, "  ");
        std::cout << "\n";
    }
    std::cout << Format::integer(scan.scannedFiles) << " files checked, "
              << Format::integer(scan.skippedHardLinks) << " hard links and "
              << Format::integer(scan.skippedProtected) << " protected files skipped"
              << (scan.truncated ? ", stopped at the budget" : "") << ".\n";
    printUnreadable(scan.unreadableFolders);
}

// The clean of the controller over `items`; returns the new batch's history entry.
int moveIntoQuarantine(const Context& context, Session& session, const std::vector<ScanItem>& items,
                       const std::function<void()>& start) {
    auto& state = session.state();
    std::int64_t bytes = 0;
    for (const auto& item : items) {
        bytes = saturatingAdd(bytes, item.size);
    }
    requireConfirmation(context, "Move " + amount(bytes, static_cast<std::int64_t>(items.size())) +
                                     " to quarantine?");
    const auto notice = session.runUntilNotice(start);
    // Whether it moved is what the clean says, not whether its history entry could be written.
    const auto& batch = state.lastCleanBatch();
    if (!batch) {
        throw OperationError(notice);
    }
    if (const auto& failure = state.historyFailure()) {
        std::fprintf(stderr, "kelvane-cli: moved, but not added to the history: %s\n",
                     failure->c_str());
    }
    if (context.json) {
        json::Json document{{"batch", batch->toJson()}, {"notice", notice}};
        if (!state.history().empty() && state.history().front().batchID == batch->id) {
            document["history"] = state.history().front().toJson();
        }
        printJson(document);
    } else {
        printNotice(context, notice);
    }
    return 0;
}

}  // namespace

int scanCommand(Context& context) {
    context.args.atMost(0);
    auto options = commandOptions();
    useCatalogue(context, options);
    for (const auto& path : context.args.values("--ignore")) {
        options.extraIgnoreList.push_back(absolutePath(path));
    }
    Session session(std::move(options));
    auto& state = session.state();
    const bool deep = context.args.flag("--deep");
    const auto notice =
        runScan(context, session, [&] { deep ? state.runDeepScan() : state.runScan(false); });
    if (isStopNotice(notice)) {
        return stopped(context, notice);
    }
    if (context.json) {
        json::Json document;
        if (deep) {
            document = json::Json{{"junk", toJson(*state.junkResult())},
                                  {"large", toJson(*state.largeScan())},
                                  {"duplicates", toJson(*state.duplicateScan())}};
            document["totalBytes"] = state.junkResult()->totalBytes() +
                                     state.largeScan()->totalBytes() +
                                     state.duplicateScan()->reclaimableBytes();
        } else {
            document = toJson(*state.junkResult());
        }
        document["notice"] = notice;
        printJson(document);
        return 0;
    }
    printJunk(*state.junkResult());
    if (deep) {
        std::cout << "\nLarge files\n";
        printLarge(*state.largeScan());
        std::cout << "\nDuplicates\n";
        printDuplicates(*state.duplicateScan());
    }
    std::cout << "\n";
    printNotice(context, notice);
    return 0;
}

int largeCommand(Context& context) {
    context.args.atMost(0);
    auto options = commandOptions();
    options.largeOlderThanDays =
        static_cast<int>(context.args.number("--older-than-days", 0, 0, 36'500));
    options.largeFileLimit = context.args.number("--file-limit", 400'000, 1, 1'000'000'000);
    options.largeResultLimit =
        static_cast<int>(context.args.number("--result-limit", 2'000, 1, 1'000'000));
    const auto minMB = context.args.number("--min-mb", -1, 0, 8'000'000);
    Session session(std::move(options));
    auto& state = session.state();
    state.setLargeRoot(existingFolder(context.args.value("--root").value_or(state.largeRoot())));
    if (minMB >= 0) {
        state.setLargeMinMB(static_cast<int>(minMB));
    }
    const auto notice = runScan(context, session, [&] { state.runLargeScan(); });
    if (isStopNotice(notice)) {
        return stopped(context, notice);
    }
    if (context.json) {
        auto document = toJson(*state.largeScan());
        document["notice"] = notice;
        printJson(document);
        return 0;
    }
    printLarge(*state.largeScan());
    printNotice(context, notice);
    return 0;
}

int duplicatesCommand(Context& context) {
    context.args.atMost(0);
    auto options = commandOptions();
    options.duplicateFileLimit = context.args.number("--file-limit", 120'000, 1, 1'000'000'000);
    const auto minMB = context.args.number("--min-mb", -1, 0, 8'000'000);
    Session session(std::move(options));
    auto& state = session.state();
    state.setDuplicateRoot(
        existingFolder(context.args.value("--root").value_or(state.duplicateRoot())));
    if (minMB >= 0) {
        state.setDuplicateMinMB(static_cast<int>(minMB));
    }
    const auto notice = runScan(context, session, [&] { state.runDuplicateScan(); });
    if (isStopNotice(notice)) {
        return stopped(context, notice);
    }
    if (context.json) {
        auto document = toJson(*state.duplicateScan());
        document["notice"] = notice;
        printJson(document);
        return 0;
    }
    printDuplicates(*state.duplicateScan());
    printNotice(context, notice);
    return 0;
}

int mapCommand(Context& context) {
    context.args.atMost(1);
    const auto folder = context.args.positional().empty()
                            ? AppPaths::home()
                            : existingFolder(context.args.positional()[0]);
    const DiskMapBuilder builder{
        static_cast<int>(context.args.number("--max-children", 60, 1, 100'000))};
    const auto node = builder.node(folder);
    if (!node) {
        throw OperationError(Format::shortPath(folder) + " is not a folder.");
    }
    if (context.json) {
        printJson(toJson(*node));
        return 0;
    }
    std::cout << Format::shortPath(node->path) << " — " << Format::bytes(node->size) << "\n";
    Table table({true, true, false});
    for (const auto& child : node->children) {
        const double share =
            node->size > 0 ? static_cast<double>(child.size) / static_cast<double>(node->size) : 0;
        if (child.isMountPoint) {
            table.add({"not measured", "", child.name + "/ (another file system)"});
            continue;
        }
        table.add({Format::bytes(child.size), Format::percent(share),
                   child.name + (child.isDirectory ? "/" : "")});
    }
    table.print(std::cout, "  ");
    if (node->isCapped) {
        std::cout << "  (only the largest " << node->children.size() << " are shown)\n";
    }
    printUnreadable(node->unreadableFolders);
    return 0;
}

int cleanCommand(Context& context) {
    context.args.atMost(0);
    auto options = commandOptions();
    useCatalogue(context, options);
    const auto chosen = context.args.values("--rule");
    const auto catalogue = options.rules ? *options.rules : RuleCatalogue::bundled();
    for (const auto& id : chosen) {
        if (!RuleCatalogue::rule(id, catalogue)) {
            throw UsageError("--rule: no rule with the ID '" + id + "'");
        }
    }
    if (!chosen.empty()) {
        options.saveSettings = false;  // the choice is for this clean only
    }
    Session session(std::move(options));
    auto& state = session.state();
    if (!chosen.empty()) {
        state.updateSettings([&](AppSettings& settings) {
            settings.enabledRuleIDs = {chosen.begin(), chosen.end()};
        });
    }
    const auto notice = runScan(context, session, [&] { state.runScan(false); });
    if (isStopNotice(notice)) {
        return stopped(context, notice);
    }
    const auto items = state.junkResult()->allItems();
    if (items.empty()) {
        if (context.json) {
            printJson(json::Json{{"notice", notice}});
        } else {
            printNotice(context, notice);
        }
        return 0;
    }
    return moveIntoQuarantine(context, session, items, [&] { state.cleanJunk(items); });
}

int moveCommand(Context& context) {
    if (context.args.positional().empty()) {
        throw UsageError("missing PATH");
    }
    std::vector<ScanItem> items;
    for (const auto& given : context.args.positional()) {
        const auto path = absolutePath(given);
        const auto values = platform::entryValues(path, false);
        if (!values) {
            throw OperationError("There is no file or folder at " + Format::shortPath(path) + ".");
        }
        ScanItem item;
        item.path = path;
        item.size = FileTools::allocatedSize(path);
        item.modified = values->modified;
        item.ruleID = largeFilesRuleID;
        item.kind = values->isDirectory() ? ScanItem::Kind::folder : ScanItem::Kind::file;
        items.push_back(std::move(item));
    }
    Session session(commandOptions());
    const auto note = context.args.value("--note").value_or("Large files");
    return moveIntoQuarantine(context, session, items, [&] { session.state().clean(items, note); });
}

}  // namespace kelvane::cli
