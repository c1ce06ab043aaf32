// The schedule file's decoder on any bytes.

#include "RoundTrip.h"
#include "settings/ScanSchedule.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kelvane::fuzz::roundTripDocument<kelvane::ScanSchedule>(data, size, false);
    return 0;
}
