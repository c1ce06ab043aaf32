// The clean and restore journals of a batch folder the index does not list, on any bytes: the
// input is split at its first form feed into the clean journal and the restore journal, and
// read back the way a reader does, without repairs. Whatever they say, nothing outside the
// batch folder is touched and the process does not fail.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "quarantine/QuarantineJournal.h"
#include "quarantine/RestoreJournal.h"

namespace {

const std::string& batchFolder() {
    static const std::string folder = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "journal-fuzz-XXXXXX");
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        std::filesystem::create_directories(pattern + "/payload");
        return pattern;
    }();
    return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const auto split = input.find('\f');
    const auto clean = input.substr(0, split);
    const auto restore =
        split == std::string_view::npos ? std::string_view{} : input.substr(split + 1);
    const auto& folder = batchFolder();
    std::ofstream(folder + "/" + kelvane::journalFileName, std::ios::binary | std::ios::trunc)
        << clean;
    std::ofstream(folder + "/" + kelvane::restoreJournalFileName,
                  std::ios::binary | std::ios::trunc)
        << restore;
    auto recovery = kelvane::QuarantineJournal::recover(folder, false);
    kelvane::QuarantineBatch batch;
    batch.items = recovery.entries;
    kelvane::RestoreJournal::apply(folder, batch, false);
    return 0;
}
