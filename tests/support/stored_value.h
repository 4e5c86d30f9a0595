// One registry value as a test reads it back from a driver key, and the lookups on such a
// snapshot that the hostile-contents test and the device-store fuzz target share.
#pragma once

#include "store/registry.h"
#include "support/builders.h"

#include <cstdint>
#include <string>
#include <vector>

struct Value {
    std::string name;
    uint32_t type;
    std::vector<uint8_t> data;
};

// The value the registry takes `name` for (names equal without regard to ASCII case), or null.
inline const Value* Find(const std::vector<Value>& values, const std::string& name) {
    for (const Value& v : values)
        if (SameValueName(v.name, name))
            return &v;
    return nullptr;
}

// 1 when a walk can see the value: its name and data fit the 260-byte walk buffers.
inline int Walkable(const Value& v) {
    return v.name.size() < RegistryBufferSize && v.data.size() <= RegistryBufferSize;
}
