// A clean killed at a random moment loses nothing: every item is at its place or in a listed
// batch that restores it byte for byte. KELVANE_FAULT_RUNS sets how many kills (5 by default;
// bench/reliability runs 50).

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <random>
#include <sstream>

#include "TempTree.h"
#include "files/AppPaths.h"
#include "files/FileTools.h"
#include "quarantine/QuarantineStore.h"

using namespace kelvane;

namespace {

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

}  // namespace

TEST(QuarantineFaultInjection, AKilledCleanLosesNothing) {
    const char* configured = std::getenv("KELVANE_FAULT_RUNS");
    const int runs = configured ? std::atoi(configured) : 5;
    constexpr int itemCount = 500;
    std::mt19937 random(12345);
    int killedMidway = 0;
    int partial = 0;
    // How long one whole clean takes here, so the kills spread over all of it.
    auto spawn = [](const std::string& folder) {
        const pid_t child = ::fork();
        if (child == 0) {
            ::execl(KELVANE_CLEAN_HELPER, KELVANE_CLEAN_HELPER, folder.c_str(), nullptr);
            ::_exit(127);
        }
        return child;
    };
    std::chrono::microseconds whole{};
    {
        fixture::TempTree home;
        const std::string savedHome = std::getenv("HOME");
        ::setenv("HOME", home.root().c_str(), 1);
        const auto folder = home.folder("items");
        for (int i = 0; i < itemCount; ++i) {
            std::ofstream(folder + "/f" + std::to_string(i)) << contentFor(i);
        }
        const auto start = std::chrono::steady_clock::now();
        int status = 0;
        ::waitpid(spawn(folder), &status, 0);
        whole = std::chrono::duration_cast<std::chrono::microseconds>(
            std::chrono::steady_clock::now() - start);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        ::setenv("HOME", savedHome.c_str(), 1);
    }
    for (int run = 0; run < runs; ++run) {
        fixture::TempTree home;
        const std::string savedHome = std::getenv("HOME");
        ::setenv("HOME", home.root().c_str(), 1);
        const auto folder = home.folder("items");
        for (int i = 0; i < itemCount; ++i) {
            std::ofstream(folder + "/f" + std::to_string(i)) << contentFor(i);
        }

        const pid_t child = spawn(folder);
        ASSERT_GE(child, 0);
        // The delay is the fault: anywhere from before the first move to just after the last.
        const auto longest = static_cast<useconds_t>(whole.count() * 11 / 10);
        ::usleep(std::uniform_int_distribution<useconds_t>(0, longest)(random));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        killedMidway += WIFSIGNALED(status) ? 1 : 0;

        const QuarantineStore store{AppPaths::quarantineDirectory(), 7};
        std::set<std::string> listed;
        for (const auto& batch : store.batches()) {
            for (const auto& entry : batch.items) {
                listed.insert(entry.originalPath);
            }
        }
        partial += !listed.empty() && listed.size() < itemCount ? 1 : 0;
        for (int i = 0; i < itemCount; ++i) {
            const auto path = folder + "/f" + std::to_string(i);
            EXPECT_TRUE(FileTools::exists(path) || listed.contains(path))
                << "run " << run << ": " << path << " is neither in place nor listed";
        }
        const auto restored = store.restore(std::nullopt);
        EXPECT_TRUE(restored.failed.empty()) << "run " << run;
        for (int i = 0; i < itemCount; ++i) {
            ASSERT_EQ(read(folder + "/f" + std::to_string(i)), contentFor(i)) << "run " << run;
        }
        ::setenv("HOME", savedHome.c_str(), 1);
    }
    std::printf(
        "%d of %d runs killed before the clean finished, %d of them with part of the "
        "items moved (a whole clean takes %lld ms here)\n",
        killedMidway, runs, partial, static_cast<long long>(whole.count() / 1000));
}
