// Devices of any size for the benchmarks: distinct modes with plausible CRT timings, written
// into the in-memory registry's driver key the way the driver keeps them.
#pragma once

#include "store/device_store.h"
#include "store/mode_list.h"
#include "store/registry.h"
#include "doubles/fake_registry.h"
#include "store/timing.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace bench {

const char DriverKeyPath[] = "SYSTEM\\CurrentControlSet\\Services\\orvdisp\\Device0";

// Mode i of a device: width and height are distinct for every i below 10,000 * 100, and stay
// below 10,000 so that every name scans back.
inline CustomTiming MakeTiming(uint32_t i) {
    CustomTiming timing = {};
    timing.width = 640 + i / 100;
    timing.height = 400 + i % 100;
    timing.refresh = 60 + i % 41;
    const uint32_t base[TimingWordCount] = {i % 16, 1056, 800, 840, 128, 628, 600, 601,
                                            4,      4000, 8,   8,   2,   2,   1,   1};
    for (uint32_t w = 0; w < TimingWordCount; ++w)
        timing.block.words[w] = base[w];
    timing.block.words[TimingChecksumWord] = ComputeTimingChecksum(timing.block.words);
    return timing;
}

inline NonStandardMode MakeMode(uint32_t i) {
    CustomTiming timing = MakeTiming(i);
    NonStandardMode mode = {static_cast<uint16_t>(timing.width),
                            static_cast<uint16_t>(timing.height), 0,
                            static_cast<uint16_t>(timing.refresh)};
    return mode;
}

// The stored mode list of modes 0 to n-1.
inline std::vector<uint8_t> ModeListBytes(uint32_t n) {
    std::vector<uint8_t> bytes(static_cast<size_t>(n) * ModeStoredSize);
    for (uint32_t i = 0; i < n; ++i) {
        NonStandardMode mode = MakeMode(i);
        uint8_t* p = bytes.data() + static_cast<size_t>(i) * ModeStoredSize;
        EncodeModeField(mode.width, p);
        EncodeModeField(mode.height, p + 2);
        EncodeModeField(mode.reserved, p + 4);
        EncodeModeField(mode.refresh, p + 6);
    }
    return bytes;
}

// Empties the in-memory registry and gives it one device, current, whose driver key holds the
// mode list of n entries followed by the n timing values. 1 on success.
inline int MakeDevice(uint32_t n) {
    MemoryRegistry::Reset();
    if (!MemoryRegistry::CreateKey(RegistryLocalMachine, DriverKeyPath) ||
        !SetCurrentDevicePath(DriverKeyPath))
        return 0;
    RegistryKey key;
    if (!RegistryOpenKey(RegistryLocalMachine, DriverKeyPath, &key))
        return 0;
    std::vector<uint8_t> list = ModeListBytes(n);
    int ok = RegistrySetValue(key, ModeListValueName, RegistryTypeBinary, list.data(),
                              static_cast<uint32_t>(list.size()));
    for (uint32_t i = 0; ok && i < n; ++i) {
        CustomTiming timing = MakeTiming(i);
        char name[RegistryBufferSize];
        uint8_t stored[TimingStoredSize];
        EncodeTimingBlock(timing.block, stored);
        ok =
            FormatTimingValueName(timing.width, timing.height, timing.refresh, name, sizeof name) &&
            RegistrySetValue(key, name, RegistryTypeBinary, stored, TimingStoredSize);
    }
    RegistryCloseKey(key);
    MemoryRegistry::ResetCounters();
    return ok;
}

} // namespace bench
