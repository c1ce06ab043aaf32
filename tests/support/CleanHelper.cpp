// A stand-in for the application in the fault-injection tests, run as its own process so a
// test can kill it at a random moment:
//   kelvane-clean-helper clean FOLDER   moves every entry directly inside FOLDER into a batch
//   kelvane-clean-helper restore        restores every batch
//   kelvane-clean-helper delete BATCH   deletes one batch for good
//   kelvane-clean-helper ready          does nothing: the time a start takes, to aim the kills

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "files/AppPaths.h"
#include "files/FileTools.h"
#include "platform/DirectoryWalker.h"
#include "quarantine/QuarantineStore.h"

int main(int argc, char** argv) {
    using namespace kelvane;
    const std::string mode = argc >= 2 ? argv[1] : "";
    const QuarantineStore store{AppPaths::quarantineDirectory(), 7};
    try {
        if (mode == "clean" && argc == 3) {
            const std::string folder = argv[2];
            std::vector<ScanItem> items;
            for (const auto& name :
                 platform::listDirectory(folder).value_or(std::vector<std::string>{})) {
                const auto path = folder + "/" + name;
                items.push_back(ScanItem{path, FileTools::allocatedSize(path),
                                         FileTools::modificationDate(path), "large-files",
                                         RuleGroup::system, ScanItem::Kind::file});
            }
            try {
                store.quarantine(items, {}, {}, "Fault injection");
            } catch (const QuarantineError&) {
                return 3;  // nothing left to move: another process took it all
            }
            return 0;
        }
        if (mode == "ready" && argc == 2) {
            return 0;
        }
        if (mode == "restore" && argc == 2) {
            return store.restore(std::nullopt).failed.empty() ? 0 : 1;
        }
        if (mode == "delete" && argc == 3) {
            store.deletePermanently(argv[2]);
            return 0;
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    std::fprintf(stderr, "usage: kelvane-clean-helper clean FOLDER | restore | delete BATCH\n");
    return 2;
}
