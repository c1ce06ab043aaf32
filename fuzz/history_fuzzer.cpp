// The history file's decoder on any bytes.

#include "RoundTrip.h"
#include "quarantine/HistoryStore.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kelvane::fuzz::roundTripDocument<kelvane::CleanHistoryEntry>(data, size, true);
    return 0;
}
