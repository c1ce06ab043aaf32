// The settings file's decoder on any bytes.

#include "RoundTrip.h"
#include "settings/SettingsStore.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kelvane::fuzz::roundTripDocument<kelvane::AppSettings>(data, size, false);
    return 0;
}
