// The index file's decoder on any bytes.

#include "RoundTrip.h"
#include "quarantine/QuarantineStore.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kelvane::fuzz::roundTripDocument<kelvane::QuarantineBatch>(data, size, true);
    return 0;
}
