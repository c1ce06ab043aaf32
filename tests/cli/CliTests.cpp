// kelvane-cli run as a process over the test's temporary home: its JSON, its exit statuses,
// its questions and Ctrl-C.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "HomeTest.h"
#include "TempTree.h"
#include "files/AppPaths.h"
#include "files/FileTools.h"
#include "support/Json.h"

using namespace kelvane;
using json::Json;

namespace {

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
    Json json() const { return Json::parse(out); }
};

void closeFd(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

class CliTest : public fixture::HomeTest {
  protected:
    // Runs kelvane-cli with `args`, standard input from /dev/null. With `onStderr`, standard
    // error is a terminal whose output is passed to it as it comes, with the child's pid.
    Outcome run(const std::vector<std::string>& args,
                const std::function<void(const std::string&, pid_t)>& onStderr = {}) {
        int out[2];
        int err[2] = {-1, -1};
        int ptyMaster = -1;
        EXPECT_EQ(::pipe(out), 0);
        if (onStderr) {
            int ptySlave = -1;
            EXPECT_EQ(::openpty(&ptyMaster, &ptySlave, nullptr, nullptr, nullptr), 0);
            err[0] = ptyMaster;
            err[1] = ptySlave;
        } else {
            EXPECT_EQ(::pipe(err), 0);
        }
        std::vector<std::string> argv{KELVANE_CLI};
        argv.insert(argv.end(), args.begin(), args.end());
        const pid_t child = ::fork();
        if (child == 0) {
            const int null = ::open("/dev/null", O_RDONLY);
            ::dup2(null, STDIN_FILENO);
            ::dup2(out[1], STDOUT_FILENO);
            ::dup2(err[1], STDERR_FILENO);
            std::vector<char*> raw;
            for (auto& a : argv) {
                raw.push_back(a.data());
            }
            raw.push_back(nullptr);
            ::execv(raw[0], raw.data());
            ::_exit(127);
        }
        closeFd(out[1]);
        closeFd(err[1]);
        Outcome result;
        std::string errSeen;
        pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
        int open = 2;
        while (open > 0) {
            if (::poll(fds, 2, 60'000) <= 0) {
                ADD_FAILURE() << "kelvane-cli did not finish";
                ::kill(child, SIGKILL);
                break;
            }
            for (int i = 0; i < 2; ++i) {
                if (fds[i].fd < 0 || fds[i].revents == 0) {
                    continue;
                }
                char buffer[4096];
                const auto got = ::read(fds[i].fd, buffer, sizeof buffer);
                if (got <= 0) {
                    ::close(fds[i].fd);
                    fds[i].fd = -1;
                    --open;
                    continue;
                }
                (i == 0 ? result.out : result.err).append(buffer, static_cast<std::size_t>(got));
                if (i == 1 && onStderr) {
                    onStderr(result.err, child);
                }
            }
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return result;
    }

    // A catalogue of two rules over fixture folders.
    std::string catalogue() {
        const auto file = tree.path("rules.json");
        const auto rule = [&](const std::string& id, const std::string& folder,
                              const std::string& include) {
            return Json{{"id", id},
                        {"name", id + " files"},
                        {"group", "system"},
                        {"path", tree.path(folder)},
                        {"includes", Json::array({include})},
                        {"excludes", Json::array()},
                        {"minAgeDays", 0},
                        {"defaultEnabled", true},
                        {"granularity", "files"},
                        {"safety", "safe"},
                        {"note", ""},
                        {"requiresFullDiskAccess", false},
                        {"allowsUserContent", false}};
        };
        std::ofstream(file) << Json{{"version", 1},
                                    {"rules", Json::array({rule("logs", "Logs", "*.log"),
                                                           rule("dumps", "Dumps", "*.dmp")})}}
                                   .dump();
        return file;
    }
};

}  // namespace

TEST_F(CliTest, ScansAFixtureCatalogueAsJson) {
    tree.file("Logs/a.log", 8192);
    tree.file("Logs/b.log", 4096);
    tree.file("Logs/c.txt", 4096);
    const auto r = run({"scan", "--rules", catalogue(), "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto doc = r.json();
    ASSERT_EQ(doc["results"].size(), 2u);
    EXPECT_EQ(doc["results"][0]["rule"]["id"], "logs");
    ASSERT_EQ(doc["results"][0]["items"].size(), 2u);
    EXPECT_EQ(doc["results"][0]["items"][0]["ruleID"], "logs");
    EXPECT_TRUE(doc["results"][0]["items"][0].contains("modified"));
    EXPECT_FALSE(doc["results"][0].contains("error"));
    EXPECT_TRUE(doc["results"][1]["items"].empty());  // a missing rule folder is no error
    EXPECT_EQ(doc["itemCount"], 2);
    EXPECT_EQ(doc["totalBytes"], 12288);
    EXPECT_EQ(doc["cancelled"], false);
    EXPECT_EQ(doc["notice"], "Found 12 KB in 2 items.");
    EXPECT_TRUE(r.err.empty()) << r.err;  // no progress display without a terminal

    // The fixture catalogue's choices were not saved over the user's settings.
    EXPECT_FALSE(FileTools::exists(AppPaths::settingsFile()));
}

TEST_F(CliTest, LargeFilesKeepTheirBudgets) {
    tree.file("Big/one", 3 * 1024 * 1024);
    tree.file("Big/two", 2 * 1024 * 1024);
    tree.file("Big/small", 1024);
    const auto all = run({"large", "--root", tree.path("Big"), "--min-mb", "1", "--json"});
    ASSERT_EQ(all.status, 0) << all.err;
    ASSERT_EQ(all.json()["items"].size(), 2u);
    EXPECT_EQ(all.json()["items"][0]["path"], tree.path("Big/one"));
    EXPECT_EQ(all.json()["truncated"], false);
    EXPECT_EQ(all.json()["notice"], "Found 2 items over 1 MB.");

    const auto capped = run(
        {"large", "--root", tree.path("Big"), "--min-mb", "1", "--result-limit", "1", "--json"});
    ASSERT_EQ(capped.status, 0) << capped.err;
    EXPECT_EQ(capped.json()["items"].size(), 1u);
    EXPECT_EQ(capped.json()["truncated"], true);

    const auto none = run({"large", "--root", tree.path("Big"), "--min-mb", "1",
                           "--older-than-days", "30", "--json"});
    EXPECT_EQ(none.json()["notice"], "No files over 1 MB were found.");

    const auto missing = run({"large", "--root", tree.path("Nowhere"), "--json"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.json()["error"].get<std::string>().find("is not a folder."),
              std::string::npos);
}

TEST_F(CliTest, DuplicatesComeInGroupsWithCounters) {
    const auto first = tree.file("Media/a", 2 * 1024 * 1024);
    std::filesystem::copy_file(first, tree.path("Media/b"));
    std::filesystem::copy_file(first, tree.path("Media/c"));
    tree.hardlink("Media/a-link", "Media/a");
    tree.file("Media/other", 2 * 1024 * 1024);
    const auto r = run({"duplicates", "--root", tree.path("Media"), "--min-mb", "1", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto doc = r.json();
    ASSERT_EQ(doc["groups"].size(), 1u);
    EXPECT_EQ(doc["groups"][0]["files"].size(), 2u);  // the hard-linked pair is skipped
    EXPECT_EQ(doc["groups"][0]["hash"].get<std::string>().size(), 64u);
    EXPECT_EQ(doc["groups"][0]["size"], 2 * 1024 * 1024);
    EXPECT_EQ(doc["skippedHardLinks"], 2);
    EXPECT_EQ(doc["scannedFiles"], 5);
    EXPECT_EQ(doc["reclaimableBytes"], 2 * 1024 * 1024);
    EXPECT_EQ(doc["notice"], "Found 1 duplicate group.");
}

TEST_F(CliTest, MapsOneFolderLevel) {
    tree.file("Map/big/x", 64 * 1024);
    tree.file("Map/mid/y", 16 * 1024);
    tree.file("Map/small", 4096);
    const auto r = run({"map", tree.path("Map"), "--max-children", "2", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto doc = r.json();
    EXPECT_EQ(doc["path"], tree.path("Map"));
    EXPECT_EQ(doc["isCapped"], true);
    ASSERT_EQ(doc["children"].size(), 2u);
    EXPECT_EQ(doc["children"][0]["name"], "big");
    EXPECT_EQ(doc["children"][0]["isDirectory"], true);
    EXPECT_EQ(doc["children"][0]["size"], 64 * 1024);
}

TEST_F(CliTest, ACleanCanBeListedRestoredAndFoundInTheHistory) {
    const auto log = tree.file("Logs/a.log", 8192);
    const auto rules = catalogue();
    const auto clean = run({"clean", "--rules", rules, "--yes", "--json"});
    ASSERT_EQ(clean.status, 0) << clean.err;
    EXPECT_EQ(clean.json()["notice"], "Moved 8 KB to quarantine. Restore it within 7 days.");
    EXPECT_FALSE(FileTools::exists(log));

    const auto list = run({"quarantine", "list", "--json"});
    ASSERT_EQ(list.status, 0) << list.err;
    ASSERT_EQ(list.json()["batches"].size(), 1u);
    const auto batch = list.json()["batches"][0];
    EXPECT_EQ(batch["note"], "Junk clean");
    EXPECT_EQ(batch["items"][0]["originalPath"], log);
    EXPECT_EQ(batch["id"], clean.json()["batch"]["id"]);

    const auto id = batch["id"].get<std::string>();
    const auto restore = run({"quarantine", "restore", id.substr(0, 8), "--json"});
    ASSERT_EQ(restore.status, 0) << restore.err;
    EXPECT_EQ(restore.json()["notice"], "Restored 1 item.");
    EXPECT_TRUE(FileTools::exists(log));
    const auto again = run({"quarantine", "restore", id});
    EXPECT_EQ(again.status, 1);
    EXPECT_NE(again.err.find("Nothing could be restored."), std::string::npos);

    const auto history = run({"history", "--json"});
    ASSERT_EQ(history.status, 0) << history.err;
    ASSERT_EQ(history.json()["history"].size(), 1u);
    EXPECT_EQ(history.json()["history"][0]["batchID"], id);
    EXPECT_EQ(history.json()["history"][0]["categories"], Json::array({"System and logs"}));
}

TEST_F(CliTest, NamesThatAreNotUTF8KeepTheirBytesThroughScanMoveListAndRestore) {
    const std::string folder = tree.folder(
        "Old\xE9"
        "archive");
    const auto file = tree.file(
        "Old\xE9"
        "archive/caf\xE9.bin",
        2 << 20);
    const auto large = run({"large", "--root", folder, "--min-mb", "1", "--json"});
    ASSERT_EQ(large.status, 0) << large.err;
    EXPECT_TRUE(json::isValidUTF8(large.out));
    const auto item = large.json()["items"].at(0);
    EXPECT_EQ(json::requireBytes(item, "path"), file);  // the readable text plus the exact bytes

    ASSERT_EQ(run({"move", file, "--yes"}).status, 0);
    EXPECT_FALSE(FileTools::exists(file));
    const auto list = run({"quarantine", "list", "--json"});
    ASSERT_EQ(list.status, 0) << list.err;
    const auto batch = list.json()["batches"].at(0);
    EXPECT_EQ(json::requireBytes(batch["items"].at(0), "originalPath"), file);
    ASSERT_EQ(run({"quarantine", "restore", batch["id"].get<std::string>()}).status, 0);
    EXPECT_TRUE(FileTools::exists(file));
}

TEST_F(CliTest, APartlyFailedRestoreNamesEachFailureAndFails) {
    const auto kept = tree.file("Stuff/kept.bin", 4096);
    const auto lost = tree.file("Stuff/lost.bin", 4096);
    ASSERT_EQ(run({"move", kept, lost, "--yes"}).status, 0);
    const auto batch = run({"quarantine", "list", "--json"}).json()["batches"].at(0);
    const auto id = batch["id"].get<std::string>();
    for (const auto& entry : batch["items"]) {
        if (entry["originalPath"] == lost) {
            std::filesystem::remove(AppPaths::quarantineDirectory() + "/" + id + "/payload/" +
                                    entry["storedName"].get<std::string>());
        }
    }
    const auto r = run({"quarantine", "restore", id});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("Restored 1 item. 1 item could not be restored."), std::string::npos)
        << r.out;
    EXPECT_NE(r.err.find(lost + " could not be restored."), std::string::npos) << r.err;
    EXPECT_TRUE(FileTools::exists(kept));
}

TEST_F(CliTest, AMoveThatHappenedIsASuccessEvenWhenTheHistoryCouldNotBeWritten) {
    fixture::TempTree::writeFile(AppPaths::historyFile() + "/in-the-way", 1, std::nullopt);
    const auto file = tree.file("Stuff/old.iso", 4096);
    const auto r = run({"move", file, "--yes"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(FileTools::exists(file));
    EXPECT_NE(r.err.find("not added to the history"), std::string::npos) << r.err;
}

TEST_F(CliTest, MovingAProtectedPathIsRefused) {
    const auto key = tree.file(".ssh/id_ed25519", 512);
    const auto r = run({"move", key, "--yes", "--json"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.json()["error"], "No items could be moved to quarantine.");
    EXPECT_TRUE(FileTools::exists(key));

    const auto file = tree.file("Downloads/film.mkv", 4096);
    const auto moved = run({"move", file, "--note", "Old film", "--yes", "--json"});
    ASSERT_EQ(moved.status, 0) << moved.err;
    EXPECT_EQ(moved.json()["batch"]["note"], "Old film");
    EXPECT_EQ(moved.json()["history"]["categories"], Json::array({"Large files"}));
}

TEST_F(CliTest, NothingMovesWithoutAnswerWhenThereIsNoTerminal) {
    const auto log = tree.file("Logs/a.log", 8192);
    const auto file = tree.file("Downloads/x.iso", 4096);
    for (const auto& args :
         std::vector<std::vector<std::string>>{{"clean", "--rules", catalogue()}, {"move", file}}) {
        const auto r = run(args);
        EXPECT_EQ(r.status, 1) << args[0];
        EXPECT_NE(r.err.find("Add --yes"), std::string::npos) << r.err;
    }
    EXPECT_TRUE(FileTools::exists(log));
    EXPECT_TRUE(FileTools::exists(file));
    EXPECT_EQ(run({"quarantine", "--json"}).json()["batches"].size(), 0u);
}

TEST_F(CliTest, UsageErrorsNameTheBadArgument) {
    struct Case {
        std::vector<std::string> args;
        std::string says;
    };
    const std::vector<Case> cases{
        {{"large", "--min-mb", "lots"}, "--min-mb: expected a whole number, got 'lots'"},
        {{"scan", "--fast"}, "unknown option --fast"},
        {{"map", "--max-children"}, "--max-children needs a value"},
        {{"settings", "set", "colour", "blue"}, "unknown setting 'colour'"},
        {{"settings", "schedule", "hourly"}, "MODE: expected manual, daily or weekly"},
        {{"quarantine", "restore"}, "missing BATCH"},
        {{"frobnicate"}, "unknown command 'frobnicate'"},
    };
    for (const auto& c : cases) {
        const auto r = run(c.args);
        EXPECT_EQ(r.status, 2) << c.args[0];
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    }
    const auto help = run({"duplicates", "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("Usage: kelvane-cli duplicates"), std::string::npos);
}

TEST_F(CliTest, SettingsAndTheScheduleAreSaved) {
    ASSERT_EQ(run({"settings", "set", "retentionDays", "14"}).status, 0);
    ASSERT_EQ(run({"settings", "ignore", "add", tree.path("Keep")}).status, 0);
    ASSERT_EQ(run({"settings", "schedule", "weekly", "07:45", "friday"}).status, 0);
    const auto r = run({"settings", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.json()["settings"]["retentionDays"], 14);
    EXPECT_EQ(r.json()["settings"]["ignoreList"], Json::array({tree.path("Keep")}));
    EXPECT_EQ(r.json()["schedule"]["mode"], "weekly");
    EXPECT_EQ(r.json()["schedule"]["hour"], 7);
    EXPECT_EQ(r.json()["schedule"]["minute"], 45);
    EXPECT_EQ(r.json()["schedule"]["weekday"], 6);
    EXPECT_EQ(run({"settings", "ignore", "remove", tree.path("Elsewhere")}).status, 1);
}

TEST_F(CliTest, ASettingThatCouldNotBeSavedIsAnError) {
    // A folder where the settings file belongs: the write cannot land.
    fixture::TempTree::writeFile(AppPaths::settingsFile() + "/in-the-way", 1, std::nullopt);
    for (const auto& args :
         std::vector<std::vector<std::string>>{{"settings", "set", "retentionDays", "14"},
                                               {"settings", "ignore", "add", tree.path("Keep")},
                                               {"settings", "set", "rule:user-cache", "off"}}) {
        const auto r = run(args);
        EXPECT_EQ(r.status, 1) << args[1];
        EXPECT_NE(r.err.find("settings.json"), std::string::npos) << r.err;
        EXPECT_EQ(r.out.find("14"), std::string::npos) << "the unsaved value was shown as set";
    }
}

TEST_F(CliTest, CtrlCStopsARunningScan) {
    // Enough entries that the scan is still walking when the signal arrives.
    for (int d = 0; d < 100; ++d) {
        const auto folder = tree.folder("Crowd/d" + std::to_string(d));
        for (int i = 0; i < 400; ++i) {
            ::close(::open((folder + "/f" + std::to_string(i)).c_str(), O_CREAT | O_WRONLY, 0644));
        }
    }
    bool interrupted = false;
    const auto r = run({"large", "--root", tree.path("Crowd"), "--min-mb", "1"},
                       [&](const std::string& err, pid_t child) {
                           if (!interrupted && err.find(" checked") != std::string::npos) {
                               interrupted = true;
                               ::kill(child, SIGINT);
                           }
                       });
    ASSERT_TRUE(interrupted) << r.err;
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Large files: "), std::string::npos);  // the progress line
    EXPECT_NE(r.err.find("Large file scan stopped."), std::string::npos) << r.err;
}
