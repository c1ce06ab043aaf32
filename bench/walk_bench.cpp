// Walks a tree with Kelvane's walker, reading the same values `find -printf '%s %b\n'`
// prints, and reports the entry count and the totals so both tools can be checked to agree.
//
//   kelvane-bench-walk DIR [--serial]   (the parallel walk every scan uses, or the serial one)

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/DirectoryWalker.h"

int main(int argc, char** argv) {
    const bool serial = argc == 3 && std::string(argv[2]) == "--serial";
    if (argc != 2 && !serial) {
        std::fprintf(stderr, "usage: kelvane-bench-walk DIR [--serial]\n");
        return 2;
    }
    using namespace kelvane::platform;
    struct Totals {
        std::int64_t entries = 0, logical = 0, blocks = 0;
        char padding[40];  // one cache line each, so workers do not share one
    };
    const char* wanted = std::getenv("KELVANE_WALK_WORKERS");
    const unsigned workers =
        serial ? 1 : parallelWalkWorkers(wanted ? static_cast<unsigned>(std::atoi(wanted)) : 0);
    std::vector<Totals> totals(workers);
    const auto add = [&](const WalkEntry& entry, unsigned worker) {
        auto& t = totals[worker];
        ++t.entries;
        t.logical += entry.values.logicalSize;
        t.blocks += entry.values.allocatedSize / 512;
        return WalkAction::proceed;
    };
    const auto start = std::chrono::steady_clock::now();
    const auto outcome = serial
                             ? walkDirectory(argv[1], WalkOptions{},
                                             [&](const WalkEntry& entry) { return add(entry, 0); })
                             : walkDirectoryInParallel(argv[1], WalkOptions{}, workers, add);
    std::int64_t entries = 0, logical = 0, blocks = 0;
    for (const auto& t : totals) {
        entries += t.entries;
        logical += t.logical;
        blocks += t.blocks;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (outcome == WalkOutcome::unreadableRoot) {
        std::fprintf(stderr, "kelvane-bench-walk: cannot read %s\n", argv[1]);
        return 1;
    }
    std::printf("%lld entries, %lld bytes, %lld blocks, %.4f s\n", static_cast<long long>(entries),
                static_cast<long long>(logical), static_cast<long long>(blocks), seconds);
    return 0;
}
