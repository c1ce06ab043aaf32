// A stand-in for the application in the fault-injection test: moves every regular file
// directly inside one folder into a new quarantine batch, the way a clean does. The test kills
// it at a random moment.

#include <cstdio>
#include <string>
#include <vector>

#include "files/AppPaths.h"
#include "files/FileTools.h"
#include "platform/DirectoryWalker.h"
#include "quarantine/QuarantineStore.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: kelvane-clean-helper FOLDER\n");
        return 2;
    }
    using namespace kelvane;
    const std::string folder = argv[1];
    std::vector<ScanItem> items;
    for (const auto& name : platform::listDirectory(folder).value_or(std::vector<std::string>{})) {
        const auto path = folder + "/" + name;
        items.push_back(ScanItem{path, FileTools::allocatedSize(path),
                                 FileTools::modificationDate(path), "large-files",
                                 RuleGroup::system, ScanItem::Kind::file});
    }
    const QuarantineStore store{AppPaths::quarantineDirectory(), 7};
    try {
        store.quarantine(items, {}, {}, "Fault injection");
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
