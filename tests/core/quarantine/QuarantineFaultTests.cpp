// A clean, a restore or a deletion killed at a random moment, on one file system or across
// two, and two cleans of one folder at once: after every trial each item is at its place or in
// a listed batch that restores it byte for byte, and the index says exactly what is back.
// KELVANE_FAULT_RUNS sets how many kills per kind of trial (2 by default; bench/reliability
// runs 50).

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>

#include "ScratchMount.h"
#include "TempTree.h"
#include "files/AppPaths.h"
#include "files/FileTools.h"
#include "platform/DirectoryWalker.h"
#include "quarantine/QuarantineStore.h"

using namespace kelvane;

namespace {

constexpr int itemCount = 300;

std::string contentFor(int i) {
    return "item " + std::to_string(i) + " " +
           std::string(static_cast<std::size_t>(i % 97) * 13, 'z');
}

std::string read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::string itemPath(const std::string& folder, int i) {
    return folder + "/f" + std::to_string(i);
}

pid_t spawn(const std::vector<std::string>& arguments) {
    const pid_t child = ::fork();
    if (child == 0) {
        std::vector<char*> argv{const_cast<char*>(KELVANE_CLEAN_HELPER)};
        for (const auto& argument : arguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        ::execv(KELVANE_CLEAN_HELPER, argv.data());
        ::_exit(127);
    }
    return child;
}

int waitFor(pid_t child) {
    int status = 0;
    ::waitpid(child, &status, 0);
    return status;
}

enum class Kind { clean, restore, deletion, twoCleans };

struct Trial {
    Kind kind;
    bool acrossFileSystems;
    const char* name;
};

// One home folder per run, the items in it or on a file system of their own.
class TrialHome {
  public:
    explicit TrialHome(bool acrossFileSystems) : scopedHome_(home_.root()) {
        if (acrossFileSystems) {
            scratch_ = std::make_unique<fixture::ScratchMount>();
            folder_ = scratch_->tree().folder("items");
        } else {
            folder_ = home_.folder("items");
        }
        for (int i = 0; i < itemCount; ++i) {
            std::ofstream(itemPath(folder_, i)) << contentFor(i);
        }
        store_ = QuarantineStore{AppPaths::quarantineDirectory(), 7};
    }

    const std::string& folder() const { return folder_; }
    const QuarantineStore& store() const { return store_; }

  private:
    fixture::TempTree home_;
    fixture::ScopedHome scopedHome_;
    std::unique_ptr<fixture::ScratchMount> scratch_;
    std::string folder_;
    QuarantineStore store_;
};

// Starts the trial's processes after any preparation; returns the one to kill and the others.
std::vector<pid_t> start(Kind kind, const TrialHome& run) {
    switch (kind) {
        case Kind::clean:
            return {spawn({"clean", run.folder()})};
        case Kind::restore:
            return {spawn({"restore"})};
        case Kind::deletion:
            return {spawn({"delete", run.store().batches().at(0).id})};
        case Kind::twoCleans:
            return {spawn({"clean", run.folder()}), spawn({"clean", run.folder()})};
    }
    return {};
}

void prepare(Kind kind, const TrialHome& run) {
    if (kind == Kind::restore || kind == Kind::deletion) {
        std::vector<ScanItem> items;
        for (int i = 0; i < itemCount; ++i) {
            const auto path = itemPath(run.folder(), i);
            items.push_back(ScanItem{path, 1, FileTools::modificationDate(path), "large-files",
                                     RuleGroup::system, ScanItem::Kind::file});
        }
        run.store().quarantine(items, {}, {}, "prepared");
    }
}

// The promise, checked after a kill. Returns the number of items the killed run had moved or
// put back (how far it got).
int checkNothingLost(Kind kind, const TrialHome& run, const std::string& label) {
    const auto& store = run.store();
    const auto batches = store.batches();
    std::set<std::string> waiting;
    std::set<std::string> back;
    for (const auto& batch : batches) {
        for (const auto& entry : batch.items) {
            (entry.restoredAt ? back : waiting).insert(entry.originalPath);
        }
    }
    int progressed = 0;
    for (int i = 0; i < itemCount; ++i) {
        const auto path = itemPath(run.folder(), i);
        const bool inPlace = FileTools::exists(path);
        if (kind == Kind::deletion) {
            // Deleted for good, or listed whole: never listed with its copies half gone.
            if (!batches.empty()) {
                EXPECT_TRUE(waiting.contains(path)) << label << path;
            }
            continue;
        }
        EXPECT_TRUE(inPlace || waiting.contains(path))
            << label << path << " is neither in place nor listed";
        if (kind == Kind::restore) {
            // The index says exactly what is back.
            EXPECT_EQ(back.contains(path), inPlace) << label << path;
            progressed += back.contains(path) ? 1 : 0;
        } else {
            progressed += inPlace ? 0 : 1;
        }
    }
    const auto restored = store.restore(std::nullopt);
    EXPECT_TRUE(restored.failed.empty()) << label;
    if (kind == Kind::deletion && batches.empty()) {
        // Whatever the deletion left is gone after the next operation that holds the lock.
        for (const auto& name :
             platform::listDirectory(store.root).value_or(std::vector<std::string>{})) {
            EXPECT_TRUE(name == "index.json" || name == ".lock") << label << name;
        }
        return itemCount;
    }
    for (int i = 0; i < itemCount; ++i) {
        EXPECT_EQ(read(itemPath(run.folder(), i)), contentFor(i)) << label << i;
    }
    // Nothing doubled: no "(restored 2)" copies, no temporary copies left in the folder.
    EXPECT_EQ(FileTools::fileCount(run.folder()), itemCount) << label;
    return progressed;
}

}  // namespace

TEST(QuarantineFaultInjection, AKilledOperationLosesNothing) {
    const char* configured = std::getenv("KELVANE_FAULT_RUNS");
    const int runs = configured ? std::max(1, std::atoi(configured)) : 2;
    const Trial trials[] = {
        {Kind::clean, false, "clean"},
        {Kind::restore, false, "restore"},
        {Kind::deletion, false, "delete"},
        {Kind::twoCleans, false, "two cleans at once"},
        {Kind::clean, true, "clean across file systems"},
        {Kind::restore, true, "restore across file systems"},
        {Kind::twoCleans, true, "two cleans at once across file systems"},
    };
    std::mt19937 random(12345);
    for (const auto& trial : trials) {
        if (trial.acrossFileSystems && !fixture::ScratchMount{}.mounted()) {
            std::printf("[ SKIPPED  ] %s: %s\n", trial.name, fixture::ScratchMount::skipReason);
            continue;
        }
        // How long a process takes to start and the whole operation takes, so the kills
        // spread over the work itself.
        std::chrono::microseconds startup{};
        std::chrono::microseconds whole{};
        {
            const auto begin = std::chrono::steady_clock::now();
            waitFor(spawn({"ready"}));
            startup = std::chrono::duration_cast<std::chrono::microseconds>(
                std::chrono::steady_clock::now() - begin);
        }
        {
            const TrialHome run(trial.acrossFileSystems);
            prepare(trial.kind, run);
            const auto begin = std::chrono::steady_clock::now();
            for (const pid_t child : start(trial.kind, run)) {
                const int status = waitFor(child);
                ASSERT_TRUE(WIFEXITED(status)) << trial.name;
            }
            whole = std::chrono::duration_cast<std::chrono::microseconds>(
                std::chrono::steady_clock::now() - begin);
            checkNothingLost(trial.kind, run, std::string(trial.name) + ", uninterrupted: ");
        }
        int killedMidway = 0;
        int partial = 0;
        for (int r = 0; r < runs; ++r) {
            const TrialHome run(trial.acrossFileSystems);
            prepare(trial.kind, run);
            const auto children = start(trial.kind, run);
            // The delay is the fault: anywhere from before the first step to just after the
            // last.
            const auto work = std::max<std::int64_t>(whole.count() - startup.count(), 1000);
            ::usleep(static_cast<useconds_t>(
                startup.count() * 9 / 10 +
                std::uniform_int_distribution<std::int64_t>(0, work * 12 / 10)(random)));
            ::kill(children.front(), SIGKILL);
            for (const pid_t child : children) {
                const int status = waitFor(child);
                killedMidway += child == children.front() && WIFSIGNALED(status) ? 1 : 0;
            }
            const auto label = std::string(trial.name) + ", run " + std::to_string(r) + ": ";
            const int progressed = checkNothingLost(trial.kind, run, label);
            partial += progressed > 0 && progressed < itemCount ? 1 : 0;
        }
        std::printf(
            "%s: %d of %d runs killed midway, %d of them part-way through the items (the "
            "whole operation takes %lld ms here)\n",
            trial.name, killedMidway, runs, partial, static_cast<long long>(whole.count() / 1000));
    }
}
