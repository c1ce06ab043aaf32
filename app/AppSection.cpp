#include "AppSection.h"

namespace kelvane {

std::string_view title(AppSection section) {
    switch (section) {
        case AppSection::overview:
            return "Overview";
        case AppSection::junk:
            return "Junk";
        case AppSection::largeFiles:
            return "Large files";
        case AppSection::diskMap:
            return "Disk map";
        case AppSection::duplicates:
            return "Duplicates";
        case AppSection::startup:
            return "Startup";
        case AppSection::uninstall:
            return "Uninstall";
        case AppSection::quarantine:
            return "Quarantine";
        case AppSection::settings:
            return "Settings";
    }
    return {};
}

}  // namespace kelvane
