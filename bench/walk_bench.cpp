// Walks a tree with Kelvane's walker, reading the same values `find -printf '%s %b\n'`
// prints, and reports the entry count and the totals so both tools can be checked to agree.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/DirectoryWalker.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: kelvane-bench-walk DIR\n");
        return 2;
    }
    using namespace kelvane::platform;
    std::int64_t entries = 0, logical = 0, blocks = 0;
    const auto start = std::chrono::steady_clock::now();
    const auto outcome = walkDirectory(argv[1], WalkOptions{}, [&](const WalkEntry& entry) {
        ++entries;
        logical += entry.values.logicalSize;
        blocks += entry.values.allocatedSize / 512;
        return WalkAction::proceed;
    });
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
