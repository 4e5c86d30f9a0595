// Devices of any size for the benchmarks: the builders' numbered modes (distinct, with plausible
// CRT timings), written into the fake registry's driver key the way the driver keeps them.
#pragma once

#include "doubles/fake_registry.h"
#include "store/device_store.h"
#include "store/mode_list.h"
#include "store/registry.h"
#include "store/timing.h"
#include "support/builders.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace bench {

const char DriverKeyPath[] = "SYSTEM\\CurrentControlSet\\Services\\orvdisp\\Device0";

// The stored mode list of modes 0 to n-1.
inline std::vector<uint8_t> NumberedModeList(uint32_t n) {
    std::vector<NonStandardMode> modes;
    modes.reserve(n);
    for (uint32_t i = 0; i < n; ++i)
        modes.push_back(NumberedMode(i));
    return ModeListBytes(modes);
}

// Empties the in-memory registry and gives it one device, named in *device, whose driver key
// holds the mode list of n entries followed by the n timing values. 1 on success.
inline int MakeDevice(uint32_t n, DriverKey* device) {
    MemoryRegistry::Reset();
    if (!MemoryRegistry::CreateKey(RegistryLocalMachine, DriverKeyPath) ||
        !device->SetPath(DriverKeyPath))
        return 0;
    RegistryKey key;
    if (!RegistryOpenKey(RegistryLocalMachine, DriverKeyPath, &key))
        return 0;
    std::vector<uint8_t> list = NumberedModeList(n);
    int ok = RegistrySetValue(key, ModeListValueName, RegistryTypeBinary, list.data(),
                              static_cast<uint32_t>(list.size()));
    for (uint32_t i = 0; ok && i < n; ++i) {
        CustomTiming timing = NumberedTiming(i);
        uint8_t stored[TimingStoredSize];
        EncodeTimingBlock(timing.block, stored);
        ok = RegistrySetValue(key, TimingValueName(timing).c_str(), RegistryTypeBinary, stored,
                              TimingStoredSize);
    }
    RegistryCloseKey(key);
    MemoryRegistry::ResetCounters();
    return ok;
}

} // namespace bench
