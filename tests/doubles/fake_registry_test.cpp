// The in-memory registry must behave like the Windows registry wherever the store relies on it,
// or the native store tests prove nothing.
#include "doubles/fake_registry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

const RegistryRoot Machine = RegistryLocalMachine;
const RegistryRoot User = RegistryCurrentUser;

class RegistryMemory : public ::testing::Test {
protected:
    void SetUp() override {
        MemoryRegistry::Reset();
        ASSERT_EQ(1, MemoryRegistry::CreateKey(Machine, "Software\\Test"));
        ASSERT_EQ(1, RegistryOpenKey(Machine, "Software\\Test", &key));
    }
    void TearDown() override {
        RegistryCloseKey(key);
        MemoryRegistry::Reset();
    }
    int Set(const char* name, std::vector<uint8_t> data, uint32_t type = RegistryTypeBinary) {
        return RegistrySetValue(key, name, type, data.data(), static_cast<uint32_t>(data.size()));
    }
    // The name at an index, or "-" when the enumeration fails.
    std::string NameAt(uint32_t index) {
        char name[RegistryBufferSize];
        uint8_t data[RegistryBufferSize];
        uint32_t nameLength = sizeof name, dataLength = sizeof data, type = 0;
        if (!RegistryEnumValue(key, index, name, &nameLength, &type, data, &dataLength))
            return "-";
        return std::string(name, nameLength);
    }

    RegistryKey key = nullptr;
};

} // namespace

TEST_F(RegistryMemory, NamesIgnoreCaseAndKeepTheirOwn) {
    ASSERT_EQ(1, Set("ShowWarning", {1}));
    ASSERT_EQ(1, Set("SHOWWARNING", {2}, RegistryTypeDword));
    uint32_t count = 0;
    ASSERT_EQ(1, RegistryCountValues(key, &count));
    EXPECT_EQ(1u, count);
    EXPECT_EQ("ShowWarning", NameAt(0));

    uint8_t data[4] = {};
    uint32_t length = sizeof data, type = 0;
    ASSERT_EQ(1, RegistryQueryValue(key, "showwarning", &type, data, &length));
    EXPECT_EQ(1u, length);
    EXPECT_EQ(2, data[0]);
    EXPECT_EQ(RegistryTypeDword, type);

    RegistryKey other;
    ASSERT_EQ(1, RegistryOpenKey(Machine, "SOFTWARE\\test", &other));
    RegistryCloseKey(other);
    EXPECT_EQ(0, RegistryOpenKey(User, "Software\\Test", &other)); // roots are apart
    EXPECT_EQ(nullptr, other);

    EXPECT_EQ(1, RegistryDeleteValue(key, "sHoWwArNiNg"));
    EXPECT_EQ(0, RegistryDeleteValue(key, "ShowWarning"));
}

TEST_F(RegistryMemory, DeletingMovesLaterValuesDown) {
    for (const char* name : {"A", "B", "C", "D"})
        ASSERT_EQ(1, Set(name, {0}));
    EXPECT_EQ("B", NameAt(1));
    ASSERT_EQ(1, RegistryDeleteValue(key, "B"));
    uint32_t count = 0;
    ASSERT_EQ(1, RegistryCountValues(key, &count));
    EXPECT_EQ(3u, count);
    EXPECT_EQ("A", NameAt(0));
    EXPECT_EQ("C", NameAt(1));
    EXPECT_EQ("D", NameAt(2));
    EXPECT_EQ("-", NameAt(3));
    ASSERT_EQ(1, Set("B", {0})); // a new value goes last
    EXPECT_EQ("B", NameAt(3));
}

TEST_F(RegistryMemory, EmptyKeyHasNoValues) {
    uint32_t count = 99;
    ASSERT_EQ(1, RegistryCountValues(key, &count));
    EXPECT_EQ(0u, count);
    EXPECT_EQ("-", NameAt(0));
}

TEST_F(RegistryMemory, BuffersThatDoNotFitFail) {
    ASSERT_EQ(1, Set("Name", {1, 2, 3, 4, 5}));
    char name[8];
    uint8_t data[8];
    struct Case {
        uint32_t nameSize, dataSize;
        int result;
    } cases[] = {
        {5, 5, 1}, // the name with its terminating zero, the data exactly
        {4, 5, 0}, // no room for the zero
        {5, 4, 0},
        {8, 8, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.nameSize << "/" << c.dataSize);
        uint32_t nameLength = c.nameSize, dataLength = c.dataSize, type = 0;
        EXPECT_EQ(c.result, RegistryEnumValue(key, 0, name, &nameLength, &type, data, &dataLength));
        if (c.result) {
            EXPECT_EQ(4u, nameLength);
            EXPECT_STREQ("Name", name);
            EXPECT_EQ(5u, dataLength);
        }
    }

    uint32_t length = 4;
    EXPECT_EQ(0, RegistryQueryValue(key, "Name", nullptr, data, &length));
    EXPECT_EQ(5u, length); // the needed size is reported
    length = 0;
    ASSERT_EQ(1, RegistryQueryValue(key, "Name", nullptr, nullptr, &length));
    EXPECT_EQ(5u, length);
    length = 5;
    ASSERT_EQ(1, RegistryQueryValue(key, "Name", nullptr, data, &length));
    EXPECT_EQ(5, data[4]);
    EXPECT_EQ(0, RegistryQueryValue(key, "Missing", nullptr, nullptr, &length));
}

TEST_F(RegistryMemory, SetReplacesTypeAndData) {
    ASSERT_EQ(1, Set("V", {1, 2, 3}));
    ASSERT_EQ(1, RegistrySetValue(key, "V", RegistryTypeSz, nullptr, 0));
    uint8_t data[4];
    uint32_t length = sizeof data, type = 0;
    ASSERT_EQ(1, RegistryQueryValue(key, "V", &type, data, &length));
    EXPECT_EQ(0u, length);
    EXPECT_EQ(RegistryTypeSz, type);
    EXPECT_EQ(0, RegistrySetValue(key, "W", RegistryTypeBinary, nullptr, 3));
}

TEST_F(RegistryMemory, UnwritableKeysRefuseFullAccess) {
    RegistryKey other;
    ASSERT_EQ(1, MemoryRegistry::SetWritable(Machine, "Software\\Test", 0));
    EXPECT_EQ(0, RegistryOpenKey(Machine, "Software\\Test", &other));
    EXPECT_EQ(nullptr, other);
    ASSERT_EQ(1, MemoryRegistry::SetWritable(Machine, "Software\\Test", 1));
    ASSERT_EQ(1, RegistryOpenKey(Machine, "Software\\Test", &other));
    RegistryCloseKey(other);
    EXPECT_EQ(0, MemoryRegistry::SetWritable(Machine, "Software\\Missing", 0));
}

TEST_F(RegistryMemory, KeysAreCreatedAndDeletedWithWhatIsBelow) {
    RegistryKey child, again;
    ASSERT_EQ(1, RegistryCreateSubkey(key, "Child", &child));
    ASSERT_EQ(1, RegistrySetValue(child, "V", RegistryTypeBinary, nullptr, 0));
    ASSERT_EQ(1, RegistryCreateSubkey(key, "child", &again)); // opens the one there
    uint32_t count = 0;
    ASSERT_EQ(1, RegistryCountValues(again, &count));
    EXPECT_EQ(1u, count);
    RegistryCloseKey(child);
    RegistryCloseKey(again);

    ASSERT_EQ(1, MemoryRegistry::CreateKey(Machine, "Software\\Test\\Child\\Grandchild"));
    EXPECT_EQ(1, MemoryRegistry::KeyExists(Machine, "software\\test\\child\\grandchild"));
    EXPECT_EQ(1, MemoryRegistry::DeleteKey(Machine, "Software\\Test\\Child"));
    EXPECT_EQ(0, MemoryRegistry::KeyExists(Machine, "Software\\Test\\Child\\Grandchild"));
    EXPECT_EQ(0, MemoryRegistry::DeleteKey(Machine, "Software\\Test\\Child"));
    EXPECT_EQ(1, MemoryRegistry::KeyExists(Machine, "Software\\Test"));
}

TEST_F(RegistryMemory, InjectedFailures) {
    struct Case {
        MemoryRegistry::Operation op;
        uint32_t index;
        int persistent;
        std::vector<int> results; // of five sets in a row
    } cases[] = {
        {MemoryRegistry::OpSet, 1, 0, {1, 0, 1, 1, 1}},
        {MemoryRegistry::OpSet, 2, 1, {1, 1, 0, 0, 0}},
        {MemoryRegistry::OpAny, 0, 0, {0, 1, 1, 1, 1}},
        {MemoryRegistry::OpDelete, 0, 1, {1, 1, 1, 1, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.op << "/" << c.index << "/" << c.persistent);
        MemoryRegistry::FailCall(c.op, c.index, c.persistent);
        std::vector<int> results;
        for (int i = 0; i < 5; ++i)
            results.push_back(Set("V", {1}));
        EXPECT_EQ(c.results, results);
        MemoryRegistry::ClearFailures();
        EXPECT_EQ(1, Set("V", {1}));
    }

    // OpAny counts every kind of call but close.
    MemoryRegistry::FailCall(MemoryRegistry::OpAny, 2, 0);
    uint32_t count = 0;
    RegistryKey other;
    ASSERT_EQ(1, RegistryOpenKey(Machine, "Software\\Test", &other));
    RegistryCloseKey(other);
    EXPECT_EQ(1, RegistryCountValues(key, &count));
    EXPECT_EQ(0, RegistryDeleteValue(key, "V"));
    EXPECT_EQ(1, RegistryDeleteValue(key, "V"));
    MemoryRegistry::ClearFailures();

    // A failed create or open hands out no handle.
    const int32_t open = MemoryRegistry::OpenHandles();
    MemoryRegistry::FailCall(MemoryRegistry::OpCreate, 0, 0);
    RegistryKey child = key;
    EXPECT_EQ(0, RegistryCreateSubkey(key, "Child", &child));
    EXPECT_EQ(nullptr, child);
    MemoryRegistry::FailCall(MemoryRegistry::OpOpen, 0, 0);
    EXPECT_EQ(0, RegistryOpenKey(Machine, "Software\\Test", &other));
    EXPECT_EQ(open, MemoryRegistry::OpenHandles());
    EXPECT_EQ(0, MemoryRegistry::KeyExists(Machine, "Software\\Test\\Child"));
}

TEST_F(RegistryMemory, CountersAndHandles) {
    MemoryRegistry::ResetCounters();
    EXPECT_EQ(1, MemoryRegistry::OpenHandles());
    RegistryKey other, child;
    ASSERT_EQ(1, RegistryOpenKey(Machine, "Software\\Test", &other));
    ASSERT_EQ(1, RegistryCreateSubkey(other, "Child", &child));
    EXPECT_EQ(3, MemoryRegistry::OpenHandles());
    RegistryKey missing;
    EXPECT_EQ(0, RegistryOpenKey(Machine, "Software\\Missing", &missing));
    RegistryCloseKey(child);
    RegistryCloseKey(other);
    EXPECT_EQ(1, MemoryRegistry::OpenHandles());
    EXPECT_EQ(2u, MemoryRegistry::Calls(MemoryRegistry::OpOpen));
    EXPECT_EQ(1u, MemoryRegistry::Calls(MemoryRegistry::OpCreate));
    EXPECT_EQ(2u, MemoryRegistry::Calls(MemoryRegistry::OpClose));
    EXPECT_EQ(3u, MemoryRegistry::Calls(MemoryRegistry::OpAny));
    MemoryRegistry::ResetCounters();
    EXPECT_EQ(0u, MemoryRegistry::Calls(MemoryRegistry::OpAny));
}

// Reset forgets everything; a handle from before it no longer reaches any key.
TEST_F(RegistryMemory, ResetInvalidatesHandles) {
    ASSERT_EQ(1, Set("V", {1}));
    MemoryRegistry::FailCall(MemoryRegistry::OpSet, 0, 1);
    MemoryRegistry::Reset();
    EXPECT_EQ(0, MemoryRegistry::OpenHandles());
    EXPECT_EQ(0, MemoryRegistry::KeyExists(Machine, "Software\\Test"));
    uint32_t count = 0;
    EXPECT_EQ(0, RegistryCountValues(key, &count));
    EXPECT_EQ(0, Set("V", {1}));
    RegistryCloseKey(key); // frees the stale handle without counting it
    key = nullptr;
    EXPECT_EQ(0, MemoryRegistry::OpenHandles());

    ASSERT_EQ(1, MemoryRegistry::CreateKey(Machine, "Software\\Test"));
    ASSERT_EQ(1, RegistryOpenKey(Machine, "Software\\Test", &key));
    EXPECT_EQ(1, Set("V", {1})); // the injected failure went with the reset
}

// The name index must agree with the values' order through any mix of sets, re-sets and
// deletes, whatever the case of the name used: the walks of the store depend on both.
TEST_F(RegistryMemory, ManySetsAndDeletesKeepIndexOrder) {
    struct Entry {
        uint32_t id;
        std::string spelled; // as created; a later set in another case keeps it
    };
    std::vector<Entry> model; // in index order
    uint32_t seed = 12345;
    auto next = [&seed]() { return seed = seed * 1103515245u + 12345u, (seed >> 8) % 600u; };
    for (int step = 0; step < 4000; ++step) {
        uint32_t r = next();
        uint32_t id = r % 300;
        std::string spelled = (r % 2 ? "Value" : "VALUE") + std::to_string(id);
        auto at = std::find_if(model.begin(), model.end(),
                               [id](const Entry& entry) { return entry.id == id; });
        if (r < 400) {
            ASSERT_EQ(1, Set(spelled.c_str(), {static_cast<uint8_t>(step)}));
            if (at == model.end())
                model.push_back(Entry{id, spelled});
        } else {
            ASSERT_EQ(at != model.end() ? 1 : 0, RegistryDeleteValue(key, spelled.c_str()));
            if (at != model.end())
                model.erase(at);
        }
    }
    uint32_t count = 0;
    ASSERT_EQ(1, RegistryCountValues(key, &count));
    ASSERT_EQ(model.size(), count);
    for (uint32_t i = 0; i < count; ++i)
        ASSERT_EQ(model[i].spelled, NameAt(i)) << i;
    for (const Entry& entry : model) {
        uint32_t length = 0;
        EXPECT_EQ(1, RegistryQueryValue(key, ("value" + std::to_string(entry.id)).c_str(), nullptr,
                                        nullptr, &length))
            << entry.id;
    }
}
