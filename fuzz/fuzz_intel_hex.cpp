// libFuzzer target: the Intel HEX reader must take any bytes without crashing, reading out of
// bounds or overflowing; a refusal names its line and reason; and laying the image out for a part
// gives a cache of that part's size.

#include "firmware/firmware_cache.h"
#include "firmware/intel_hex.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The first byte picks the part: the smallest and the largest flash of the catalogue.
    const int flashLast = size > 0 && (data[0] & 1) ? 1023 : 16383;
    zelvan::HexImage image;
    const zelvan::HexReadResult result =
        zelvan::readIntelHex(QByteArrayView(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)), image);
    if (!result.ok() && (result.line < 1 || result.reason.isEmpty()))
        std::abort();
    if (zelvan::FirmwareCache::layOut(image, flashLast).size() != flashLast + 1)
        std::abort();
    return 0;
}
