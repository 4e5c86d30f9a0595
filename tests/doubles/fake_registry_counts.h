// The fake registry's call counters as one record, for the tests that hold a load or a save to
// its exact registry calls. Header-only: only tests that link GoogleTest include it.
#pragma once

#include "doubles/fake_registry.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace MemoryRegistry {

// Calls of each kind, in the order of Operation.
struct Counts {
    uint32_t open, create, count, enumerate, query, set, remove, close;
};

// The counters as they stand.
inline Counts Taken() {
    return Counts{Calls(OpOpen),  Calls(OpCreate), Calls(OpCount),  Calls(OpEnum),
                  Calls(OpQuery), Calls(OpSet),    Calls(OpDelete), Calls(OpClose)};
}

// Expects the counters to be `want`, kind by kind, and no handle to be left open.
inline void ExpectCounts(const Counts& want) {
    const Counts got = Taken();
    EXPECT_EQ(want.open, got.open) << "open";
    EXPECT_EQ(want.create, got.create) << "create";
    EXPECT_EQ(want.count, got.count) << "count";
    EXPECT_EQ(want.enumerate, got.enumerate) << "enum";
    EXPECT_EQ(want.query, got.query) << "query";
    EXPECT_EQ(want.set, got.set) << "set";
    EXPECT_EQ(want.remove, got.remove) << "delete";
    EXPECT_EQ(want.close, got.close) << "close";
    EXPECT_EQ(0, OpenHandles());
}

// Sets a binary value into an open key, as the counted tests build their driver keys.
inline void SetBinary(RegistryKey key, const char* name, const std::vector<uint8_t>& data) {
    ASSERT_EQ(1, RegistrySetValue(key, name, RegistryTypeBinary, data.data(),
                                  static_cast<uint32_t>(data.size())));
}

} // namespace MemoryRegistry
