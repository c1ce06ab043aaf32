// Runs one of Kelvane's scans the way the application does and prints what it found, so
// bench/run can time it beside a peer tool and check that both agree.
//
//   kelvane-bench-scan large ROOT MIN_BYTES
//   kelvane-bench-scan map ROOT [--all]   (--all: every child, none cut by the cap)
//   kelvane-bench-scan duplicates ROOT MIN_BYTES [--groups]
//   kelvane-bench-scan junk            (the shipped catalogue, every rule, over $HOME)
//   kelvane-bench-scan rule-folders    (the existing folders of the shipped rules)

#include <cstdio>
#include <cstdlib>
#include <limits>
#include <set>
#include <string>

#include "files/AppPaths.h"
#include "files/FileTools.h"
#include "model/RuleCatalogue.h"
#include "scan/CleanScanner.h"
#include "scan/DiskMapBuilder.h"

using namespace kelvane;

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr,
                     "usage: kelvane-bench-scan large|map|duplicates|junk|rule-folders …\n");
        return 2;
    }
    const std::string what = argv[1];
    const CleanScanner scanner{SafetyPolicy{}, 20'000, 2000};
    if (what == "large" && argc == 4) {
        const auto scan = scanner.scanLargeFiles(argv[2], std::atoll(argv[3]), 0, {}, 400'000'000);
        std::printf("%zu files, %lld entries%s\n", scan.items.size(),
                    static_cast<long long>(scan.scannedFiles), scan.truncated ? ", truncated" : "");
        return 0;
    }
    if (what == "map" && (argc == 3 || (argc == 4 && std::string(argv[3]) == "--all"))) {
        const auto node =
            DiskMapBuilder{argc == 4 ? std::numeric_limits<int>::max() : 60}.node(argv[2]);
        if (!node) {
            return 1;
        }
        std::printf("%lld bytes in %zu children\n", static_cast<long long>(node->size),
                    node->children.size());
        return 0;
    }
    if (what == "duplicates" && argc >= 4) {
        const auto scan = scanner.scanDuplicates(argv[2], std::atoll(argv[3]), {}, 400'000'000);
        if (argc == 5) {
            for (const auto& group : scan.groups) {
                std::printf("%lld", static_cast<long long>(group.size));
                std::set<std::string> paths;
                for (const auto& file : group.files) {
                    paths.insert(file.path);
                }
                for (const auto& path : paths) {
                    std::printf("\t%s", path.c_str());
                }
                std::printf("\n");
            }
            return 0;
        }
        std::printf("%zu groups, %lld bytes reclaimable, %lld entries, %lld hard links skipped%s\n",
                    scan.groups.size(), static_cast<long long>(scan.reclaimableBytes()),
                    static_cast<long long>(scan.scannedFiles),
                    static_cast<long long>(scan.skippedHardLinks),
                    scan.truncated ? ", truncated at the group cap" : "");
        return 0;
    }
    const auto rules = RuleCatalogue::bundled();
    if (what == "junk") {
        std::set<std::string> all;
        for (const auto& rule : rules) {
            all.insert(rule.id);
        }
        // No item limit: every rule folder is walked to its end, as find walks it.
        const CleanScanner unlimited{SafetyPolicy{}, 1'000'000'000, 2000};
        const auto result = unlimited.scanJunk(rules, all, {});
        std::int64_t truncated = 0;
        for (const auto& rule : result.results) {
            truncated += rule.truncated ? 1 : 0;
        }
        std::printf("%lld items, %lld bytes, %lld rules truncated\n",
                    static_cast<long long>(result.itemCount()),
                    static_cast<long long>(result.totalBytes()), static_cast<long long>(truncated));
        return 0;
    }
    if (what == "rule-folders") {
        // One line a rule whose folder exists: "files" or "tree", then the folder.
        for (const auto& rule : rules) {
            const auto folder = AppPaths::expand(rule.path);
            if (FileTools::isDirectory(folder)) {
                std::printf("%s\t%s\n",
                            rule.granularity == RuleGranularity::files ? "files" : "tree",
                            folder.c_str());
            }
        }
        return 0;
    }
    std::fprintf(stderr, "kelvane-bench-scan: unknown request\n");
    return 2;
}
