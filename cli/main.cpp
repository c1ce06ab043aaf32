// kelvane-cli: Kelvane's operations from a terminal and from scripts. It shares the settings,
// schedule, history and quarantine with the application and runs the application
// controller's own flows on a Qt Core event loop.

#include <QCoreApplication>

#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include "Commands.h"

namespace {

using namespace kelvane::cli;

struct Command {
    std::string name;
    std::string synopsis;
    std::string help;
    OptionSpec options;
    std::function<int(Context&)> run;
};

const std::set<std::string> common{"--json", "--quiet", "--help"};

OptionSpec withCommon(std::set<std::string> flags, std::set<std::string> valued = {}) {
    flags.insert(common.begin(), common.end());
    return OptionSpec{std::move(flags), std::move(valued)};
}

const std::vector<Command>& commands() {
    static const std::vector<Command> list{
        {"rules", "rules [--rules FILE]",
         "Lists the rule catalogue (or the catalogue in FILE) by group, with each rule's safety,\n"
         "age limit and whether the settings have it on.",
         withCommon({}, {"--rules"}), rulesCommand},
        {"scan", "scan [--deep] [--rules FILE] [--ignore PATH]...",
         "A quick scan of the enabled rules, or with --deep the deep scan: every enabled rule\n"
         "without age limits, then large files and duplicates across the home folder. Prints\n"
         "each rule's items largest first, the totals and the notice. --ignore skips a folder\n"
         "for this scan only. Ctrl-C stops the scan; a second Ctrl-C quits at once.",
         withCommon({"--deep"}, {"--rules", "--ignore"}), scanCommand},
        {"large",
         "large [--root DIR] [--min-mb N] [--older-than-days N] [--file-limit N] "
         "[--result-limit N]",
         "The largest files under DIR (default: the settings' large-file folder) of at least N\n"
         "megabytes, within a budget of entries checked and results kept.",
         withCommon({},
                    {"--root", "--min-mb", "--older-than-days", "--file-limit", "--result-limit"}),
         largeCommand},
        {"duplicates", "duplicates [--root DIR] [--min-mb N] [--file-limit N]",
         "Groups of byte-identical files under DIR, each with its hash, size and files newest\n"
         "first, then the counters.",
         withCommon({}, {"--root", "--min-mb", "--file-limit"}), duplicatesCommand},
        {"map", "map [DIR] [--max-children N]",
         "One level of the disk map: the children of DIR (default: the home folder) with the\n"
         "space each takes, largest first.",
         withCommon({}, {"--max-children"}), mapCommand},
        {"clean", "clean [--rule ID]... [--rules FILE] [--yes]",
         "A quick scan, then moves what it found into a new quarantine batch and records the\n"
         "clean in the history. --rule limits both to the given rules. Asks first on a\n"
         "terminal; elsewhere it needs --yes.",
         withCommon({"--yes"}, {"--rule", "--rules"}), cleanCommand},
        {"move", "move PATH... [--note TEXT] [--yes]",
         "Moves the given files or folders into a new quarantine batch (note \"Large files\"\n"
         "unless given). Protected and ignored places are refused. Asks first on a terminal;\n"
         "elsewhere it needs --yes.",
         withCommon({"--yes"}, {"--note"}), moveCommand},
        {"quarantine", "quarantine [list] | restore BATCH | delete BATCH [--yes] | purge",
         "Lists the quarantine batches, puts a batch back, deletes one for good or removes the\n"
         "expired ones. BATCH is a batch ID or its first characters. Expired batches are also\n"
         "removed whenever Kelvane or kelvane-cli starts.",
         withCommon({"--yes"}), quarantineCommand},
        {"history", "history", "The cleaning history, newest first.", withCommon({}),
         historyCommand},
        {"startup", "startup [list] | enable LABEL | disable LABEL",
         "Lists the login items, or switches one on or off (it takes effect at the next\n"
         "sign-in).",
         withCommon({}), startupCommand},
        {"apps", "apps [list] [--root DIR]... | leftovers APP | uninstall APP [--yes]",
         "Lists installed applications, the support files one leaves behind, or uninstalls one:\n"
         "the bundle goes to the Trash and its leftovers into quarantine. APP is a bundle path\n"
         "or a bundle identifier.",
         withCommon({"--yes"}, {"--root"}), appsCommand},
        {"settings",
         "settings [show] | set KEY VALUE | ignore add PATH | ignore remove PATH | schedule MODE "
         "[HH:MM] [WEEKDAY]",
         "Shows or changes the settings. KEY is retentionDays, minLargeFileMB, minDuplicateMB,\n"
         "largeFileRoot, duplicateRoot, hasCompletedOnboarding or rule:ID (on or off). MODE is\n"
         "manual, daily or weekly; WEEKDAY is 1 (Sunday) to 7 or a day's name.",
         withCommon({}), settingsCommand},
    };
    return list;
}

void printOverview(std::ostream& out) {
    out << "Usage: kelvane-cli COMMAND [OPTIONS]\n\n"
           "Frees disk space without deleting anything straight away: everything removed goes\n"
           "into a restorable quarantine shared with the Kelvane application.\n\nCommands:\n";
    for (const auto& command : commands()) {
        out << "  " << command.synopsis << "\n";
    }
    out << "\nEvery command takes --json (one JSON document on standard output), --quiet (no\n"
           "progress display) and --help.\n"
           "Exit status: 0 on success, 1 when the operation failed, 2 for a usage error.\n";
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const std::vector<std::string> words(argv + 1, argv + argc);
    if (words.empty()) {
        printOverview(std::cerr);
        return 2;
    }
    if (words[0] == "--help" || words[0] == "-h" || words[0] == "help") {
        printOverview(std::cout);
        return 0;
    }
    const auto& list = commands();
    const auto command = std::find_if(list.begin(), list.end(),
                                      [&](const Command& c) { return c.name == words[0]; });
    if (command == list.end()) {
        std::cerr << "kelvane-cli: unknown command '" << words[0] << "'\n\n";
        printOverview(std::cerr);
        return 2;
    }
    Context context;
    try {
        context.args = Arguments::parse({words.begin() + 1, words.end()}, command->options);
        if (context.args.flag("--help")) {
            std::cout << "Usage: kelvane-cli " << command->synopsis << "\n\n"
                      << command->help << "\n";
            return 0;
        }
        context.json = context.args.flag("--json");
        context.quiet = context.args.flag("--quiet");
        context.yes = context.args.flag("--yes");
        return command->run(context);
    } catch (const UsageError& error) {
        std::cerr << "kelvane-cli " << command->name << ": " << error.what() << "\n"
                  << "Usage: kelvane-cli " << command->synopsis << "\n";
        return 2;
    } catch (const std::exception& error) {
        if (context.json) {
            printJson(kelvane::json::Json{{"error", error.what()}});
        }
        std::cerr << "kelvane-cli " << command->name << ": " << error.what() << "\n";
        return 1;
    }
}
