// The EDID reader and the setup file's mode values over any bytes.
//
// Laws: a block is read exactly when it has 128 bytes or more, the header and a checksum that
// holds, and a refusal says why and leaves no limits; a block that is read has its texts ended
// inside their fields, its counts inside their slots, and limits whose ranges run upward; a mode
// value that reads gives ranges that run upward and never a clock.
#include "formats/edid.h"
#include "formats/monitor_limits.h"
#include "fuzz/fuzz_support.h"

#include <cstring>

namespace {

int Readable(const uint8_t* data, size_t size) {
    static const uint8_t header[8] = {0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0};
    if (size < EdidBlockSize || std::memcmp(data, header, sizeof header) != 0)
        return 0;
    uint32_t sum = 0;
    for (size_t i = 0; i < EdidBlockSize; ++i)
        sum += data[i];
    return (sum & 0xFF) == 0;
}

void CheckLimits(const MonitorLimits& l) {
    FUZZ_CHECK(!l.haveH || l.hMin100 <= l.hMax100);
    FUZZ_CHECK(!l.haveV || l.vMin100 <= l.vMax100);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096)
        return 0;
    EdidInfo info;
    const char* reason = nullptr;
    const int read = ReadEdid(data, size, &info, &reason);
    FUZZ_CHECK(read == Readable(data, size));
    if (!read) {
        FUZZ_CHECK(reason != nullptr && !info.range.present && info.detailedCount == 0);
    } else {
        FUZZ_CHECK(std::memchr(info.name, 0, sizeof info.name) != nullptr);
        FUZZ_CHECK(std::memchr(info.serial, 0, sizeof info.serial) != nullptr);
        FUZZ_CHECK(std::strlen(info.manufacturer) == 3);
        FUZZ_CHECK(info.detailedCount <= EdidDetailedSlots);
        FUZZ_CHECK(info.standardCount <= EdidStandardSlots);
        FUZZ_CHECK(info.established < (1u << EdidEstablishedCount));
        FUZZ_CHECK(info.range.maxClockKHz <= info.range.maxClockMHz * 1000);
        MonitorLimits limits;
        LimitsFromEdid(info, &limits);
        CheckLimits(limits);
    }
    MonitorLimits mode;
    if (ParseSetupModeValue(reinterpret_cast<const char*>(data), size, &mode)) {
        FUZZ_CHECK(mode.haveH && !mode.haveClock);
        CheckLimits(mode);
    }
    return 0;
}
