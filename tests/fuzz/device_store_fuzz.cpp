// The device store on a driver key built from the fuzz input in the in-memory registry: any
// number of values with any names (the timing prefix, timing names of any numbers, the mode-list
// name, other cases, names up to 16,383 characters), any type byte and any data (raw bytes up to
// 100,000, timing data with a checksum that holds, mode lists of up to about 1,000 entries).
//
// Laws, checked against the key's contents before and after:
// - the first load takes exactly the values that fit the 260-byte walk, scan as a timing name
//   and pass their checksum, in enumeration order, and removes one list entry per failing one;
// - the save writes nothing at all, timings and list alike, when a record or an entry could not
//   be read back, and otherwise leaves the key holding one value per mode key and the list as
//   encoded;
// - values that are not timing values or the mode list are untouched, and so are timing values
//   that the walk could not read (unless a written timing has the same name);
// - the second load gives back every timing of the first (the last of each mode key) with the
//   same words, and every list entry of the first;
// - no key is left open.
#include "doubles/fake_registry.h"
#include "fuzz/fuzz_support.h"
#include "store/device_store.h"
#include "support/builders.h"
#include "support/stored_value.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

const char KeyPath[] = "System\\Fuzz\\Device0";

std::vector<Value> Snapshot() {
    static char name[16385];
    static uint8_t data[1 << 17];
    std::vector<Value> values;
    RegistryKey key;
    FUZZ_CHECK(RegistryOpenKey(RegistryLocalMachine, KeyPath, &key));
    uint32_t count = 0;
    FUZZ_CHECK(RegistryCountValues(key, &count));
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t nameLength = sizeof name;
        uint32_t dataLength = sizeof data;
        uint32_t type = 0;
        FUZZ_CHECK(RegistryEnumValue(key, i, name, &nameLength, &type, data, &dataLength));
        values.push_back(
            {std::string(name, nameLength), type, std::vector<uint8_t>(data, data + dataLength)});
    }
    RegistryCloseKey(key);
    return values;
}

std::string MakeName(FuzzInput& in, uint8_t kind) {
    char text[96];
    switch (kind & 7) {
    case 0:
        return in.Bytes(in.Byte());
    case 1:
        return in.Bytes(in.U16() & 0x3FFF);
    case 2:
    case 3: {
        uint32_t width = in.U16(), height = in.U16(), refresh = in.U32();
        if (kind & 8)
            refresh %= 1000;
        std::snprintf(text, sizeof text, "QORDTMCRTBCD%04uX%04uX0X%u", width, height, refresh);
        return text;
    }
    case 4:
        return kind & 8 ? "qornonstandardmodesbcd" : ModeListValueName;
    case 5:
        return std::string(TimingValuePrefix) + in.Bytes(in.Byte() % 48);
    case 6: {
        uint32_t width = in.U16() % 2000, height = in.U16() % 2000, refresh = in.Byte();
        std::snprintf(text, sizeof text,
                      kind & 8 ? "qordtmcrtbcd%04uX%04uX0X%u" : "XQORDTMCRTBCD%04uX%04uX0X%u",
                      width, height, refresh);
        return text;
    }
    default:
        return kind & 8 ? "DUMMY" : "Other";
    }
}

std::string MakeData(FuzzInput& in) {
    const uint8_t kind = in.Byte();
    switch (kind & 3) {
    case 0:
        return in.Bytes(in.Byte());
    case 1: {
        size_t length = in.U16() + (kind & 4 ? 40000u : 0u);
        return in.Bytes(length > 100000 ? 100000 : length);
    }
    case 2: {
        // Timing data whose checksum holds, with a tail added or cut off.
        std::string words = in.Bytes(64);
        uint8_t stored[TimingStoredSize] = {};
        std::memcpy(stored, words.data(), 64);
        TimingBlock block;
        DecodeTimingBlock(stored, &block);
        uint32_t sum = ComputeTimingChecksum(block.words);
        stored[66] = static_cast<uint8_t>(sum >> 8);
        stored[67] = static_cast<uint8_t>(sum);
        std::string data(reinterpret_cast<char*>(stored), sizeof stored);
        uint8_t shape = in.Byte();
        if (shape & 0x80)
            data += in.Bytes(shape & 0x7F ? (shape & 0x7F) * 3u : 200u);
        else if (shape & 0x40)
            data.resize(TimingStoredSize - (shape & 0x3F));
        return data;
    }
    default: {
        // Lists of a thousand entries are rare on purpose: each load walks the list per entry.
        size_t entries = in.Byte() + ((kind & 0xF4) == 0xF4 ? 768u : 0u);
        if (!(kind & 8))
            return in.Bytes(entries * ModeStoredSize + (kind >> 4) % ModeStoredSize);
        std::string data;
        for (size_t i = 0; i < entries; ++i)
            for (int f = 0; f < 4; ++f) {
                uint8_t field[2];
                EncodeBcd4(field, static_cast<uint16_t>(in.U16() % ModeFieldLimit));
                data.append(reinterpret_cast<char*>(field), 2);
            }
        return data;
    }
    }
}

void BuildKey(FuzzInput& in) {
    MemoryRegistry::Reset();
    FUZZ_CHECK(MemoryRegistry::CreateKey(RegistryLocalMachine, KeyPath));
    RegistryKey key;
    FUZZ_CHECK(RegistryOpenKey(RegistryLocalMachine, KeyPath, &key));
    const uint32_t count = in.Byte() % 48;
    for (uint32_t i = 0; i < count && in.Left() > 0; ++i) {
        std::string name = MakeName(in, in.Byte());
        name = name.c_str(); // a value name ends at its first zero byte
        const uint32_t type = in.Byte();
        const std::string data = MakeData(in);
        FUZZ_CHECK(RegistrySetValue(key, name.c_str(), type,
                                    reinterpret_cast<const uint8_t*>(data.data()),
                                    static_cast<uint32_t>(data.size())));
    }
    RegistryCloseKey(key);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    BuildKey(in);
    DriverKey driver;
    FUZZ_CHECK(driver.SetPath(KeyPath));
    const std::vector<Value> before = Snapshot();

    // What the first load must take and drop, from the key's contents.
    std::vector<CustomTiming> expected;
    NonStandardModeList expectedModes;
    if (const Value* list = Find(before, ModeListValueName))
        if (!list->data.empty())
            FUZZ_CHECK(expectedModes.DecodeModeList(list->data.data(),
                                                    static_cast<uint32_t>(list->data.size())));
    for (const Value& v : before) {
        CustomTiming t;
        if (!Walkable(v) || !ScanTimingValueName(v.name.c_str(), &t.width, &t.height, &t.refresh))
            continue;
        FUZZ_CHECK(t.width <= 9999 && t.height <= 9999);
        uint8_t stored[TimingStoredSize] = {};
        if (!v.data.empty()) // an empty vector's data() may be null
            std::memcpy(stored, v.data.data(),
                        v.data.size() < TimingStoredSize ? v.data.size() : TimingStoredSize);
        DecodeTimingBlock(stored, &t.block);
        if (ComputeTimingChecksum(t.block.words) == t.block.words[TimingChecksumWord])
            expected.push_back(t);
        else
            expectedModes.RemoveMode(static_cast<uint16_t>(t.width),
                                     static_cast<uint16_t>(t.height),
                                     static_cast<uint16_t>(t.refresh));
        uint32_t w = 0, h = 0, r = 0;
        FUZZ_CHECK(ScanTimingValueName(TimingValueName(t).c_str(), &w, &h, &r));
        FUZZ_CHECK(w == t.width && h == t.height && r == t.refresh);
    }

    NonStandardModeList modes;
    TimingList timings;
    FUZZ_CHECK(LoadModeList(driver, modes) == 1);
    FUZZ_CHECK(timings.LoadFromDevice(driver, modes) == 1);
    const std::vector<CustomTiming> loaded = Records(timings);
    const std::vector<NonStandardMode> loadedModes = Entries(modes);
    FUZZ_CHECK(loaded.size() == expected.size());
    for (size_t i = 0; i < loaded.size(); ++i)
        FUZZ_CHECK(SameTiming(loaded[i], expected[i]));
    const std::vector<NonStandardMode> expectedEntries = Entries(expectedModes);
    FUZZ_CHECK(loadedModes.size() == expectedEntries.size());
    for (size_t i = 0; i < loadedModes.size(); ++i)
        FUZZ_CHECK(SameMode(loadedModes[i], expectedEntries[i]));

    int timingsStorable = 1;
    for (const CustomTiming& t : loaded)
        for (uint32_t i = 0; i < TimingWordCount; ++i)
            if (t.block.words[i] >= TimingWordLimit)
                timingsStorable = 0;
    int modesStorable = 1;
    for (const NonStandardMode& m : loadedModes)
        for (uint16_t f : {m.width, m.height, m.reserved, m.refresh})
            if (f >= ModeFieldLimit)
                modesStorable = 0;

    // One record or entry that would not read back refuses the whole write.
    const int storable = timingsStorable && modesStorable;
    FUZZ_CHECK(WriteStoredModes(driver, timings, modes) == storable);
    FUZZ_CHECK(MemoryRegistry::OpenHandles() == 0);
    const std::vector<Value> after = Snapshot();

    std::vector<std::string> written;
    if (storable)
        for (const CustomTiming& t : loaded)
            written.push_back(TimingValueName(t));
    auto isWritten = [&](const std::string& name) {
        for (const std::string& w : written)
            if (SameValueName(w, name))
                return 1;
        return 0;
    };
    for (const Value& v : before) {
        const int ours = IsTimingValueName(v.name.c_str()) && Walkable(v) && storable;
        if (ours || SameValueName(v.name, ModeListValueName) || isWritten(v.name))
            continue;
        const Value* kept = Find(after, v.name);
        FUZZ_CHECK(kept && kept->name == v.name && kept->type == v.type && kept->data == v.data);
    }
    for (const Value& v : after) {
        if (IsTimingValueName(v.name.c_str()) && Walkable(v) && storable)
            FUZZ_CHECK(isWritten(v.name));
        else if (!Find(before, v.name))
            FUZZ_CHECK(isWritten(v.name) || SameValueName(v.name, ModeListValueName));
    }
    if (!storable) {
        const Value* was = Find(before, ModeListValueName);
        const Value* is = Find(after, ModeListValueName);
        FUZZ_CHECK((was == nullptr) == (is == nullptr));
        FUZZ_CHECK(!was ||
                   (is->name == was->name && is->type == was->type && is->data == was->data));
    }
    if (storable) {
        uint32_t length = 0;
        uint8_t* bytes = modes.EncodeModeList(&length);
        FUZZ_CHECK(bytes);
        const Value* list = Find(after, ModeListValueName);
        FUZZ_CHECK(list && list->type == RegistryTypeBinary &&
                   list->data == std::vector<uint8_t>(bytes, bytes + length));
        delete[] bytes;
    }

    NonStandardModeList modesAgain;
    TimingList timingsAgain;
    FUZZ_CHECK(LoadModeList(driver, modesAgain) == 1);
    FUZZ_CHECK(timingsAgain.LoadFromDevice(driver, modesAgain) == 1);
    const std::vector<CustomTiming> reloaded = Records(timingsAgain);
    if (!storable) {
        FUZZ_CHECK(reloaded.size() == loaded.size());
        for (size_t i = 0; i < loaded.size(); ++i)
            FUZZ_CHECK(SameTiming(reloaded[i], loaded[i]));
    } else {
        size_t keys = 0;
        for (size_t i = 0; i < loaded.size(); ++i) {
            int later = 0;
            for (size_t j = i + 1; j < loaded.size(); ++j)
                later |= SameValueName(TimingValueName(loaded[j]), TimingValueName(loaded[i]));
            if (later)
                continue;
            ++keys;
            int found = 0;
            for (const CustomTiming& t : reloaded)
                found |= SameTiming(t, loaded[i]);
            FUZZ_CHECK(found);
        }
        FUZZ_CHECK(reloaded.size() == keys);
    }
    const std::vector<NonStandardMode> reloadedModes = Entries(modesAgain);
    for (const NonStandardMode& m : loadedModes) {
        int found = 0;
        for (const NonStandardMode& r : reloadedModes)
            found |= SameMode(m, r);
        FUZZ_CHECK(found);
    }
    if (storable)
        FUZZ_CHECK(reloadedModes.size() == loadedModes.size());
    FUZZ_CHECK(MemoryRegistry::OpenHandles() == 0);
    return 0;
}
