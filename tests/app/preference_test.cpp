#include "app/preference.h"

#include "doubles/fake_registry.h"
#include "support/registry_fixture.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

const char CompanyKey[] = "Software\\Orvane Technologies";
const char ProgramKey[] = "Software\\Orvane Technologies\\Velmora";

class Preference : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(FixtureDeleteTree(RegistryCurrentUser, CompanyKey)); }
    void TearDown() override { FixtureDeleteTree(RegistryCurrentUser, CompanyKey); }

    static std::vector<uint8_t> Stored(uint32_t* type) {
        std::vector<uint8_t> data;
        if (!FixtureGetValue(RegistryCurrentUser, ProgramKey, "ShowWarning", &data, type))
            data.clear();
        return data;
    }
};

TEST_F(Preference, NothingIsCreatedWithoutTheCompanyKey) {
    EXPECT_EQ(0, SaveShowWarning(1));
    EXPECT_FALSE(FixtureKeyExists(RegistryCurrentUser, CompanyKey));
    EXPECT_EQ(0u, ReadShowWarning());
}

TEST_F(Preference, SavingCreatesTheProgramKeyAndReadsBack) {
    ASSERT_TRUE(FixtureCreateKey(RegistryCurrentUser, CompanyKey));
    const struct {
        int ticked;
        uint8_t stored;
    } cases[] = {{1, 1}, {0, 0}, {7, 1}, {0, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ticked);
        EXPECT_EQ(1, SaveShowWarning(c.ticked));
        uint32_t type = 0;
        EXPECT_EQ((std::vector<uint8_t>{c.stored, 0, 0, 0}), Stored(&type));
        EXPECT_EQ(RegistryTypeDword, type);
        EXPECT_EQ(c.stored, ReadShowWarning());
    }
}

TEST_F(Preference, SavingKeepsWhatTheProgramKeyHolds) {
    ASSERT_TRUE(FixtureCreateKey(RegistryCurrentUser, std::string(ProgramKey) + "\\Device0"));
    ASSERT_TRUE(
        FixtureSetValue(RegistryCurrentUser, ProgramKey, "Other", RegistryTypeDword, {5, 0, 0, 0}));
    EXPECT_EQ(1, SaveShowWarning(1));
    EXPECT_EQ(1u, ReadShowWarning());
    EXPECT_TRUE(FixtureKeyExists(RegistryCurrentUser, std::string(ProgramKey) + "\\Device0"));
    EXPECT_EQ((std::vector<std::string>{"Other", "ShowWarning"}),
              FixtureValueNames(RegistryCurrentUser, ProgramKey));
}

TEST_F(Preference, ReadsStoredBytesLittleEndian) {
    ASSERT_TRUE(FixtureCreateKey(RegistryCurrentUser, ProgramKey));
    EXPECT_EQ(0u, ReadShowWarning()) << "no value";
    const struct {
        uint32_t type;
        std::vector<uint8_t> data;
        uint32_t expected;
    } cases[] = {
        {RegistryTypeDword, {0, 0, 0, 0}, 0},
        {RegistryTypeDword, {1, 0, 0, 0}, 1},
        {RegistryTypeDword, {2, 0, 0, 0}, 2},
        {RegistryTypeDword, {0xFF, 0xFF, 0xFF, 0xFF}, 0xFFFFFFFFu},
        {RegistryTypeDword, {0x00, 0x00, 0x00, 0x01}, 0x01000000u},
        {RegistryTypeBinary, {1, 0, 0, 0}, 1}, // the type is not looked at
        // Shorter values: the missing high bytes count as 0.
        {RegistryTypeBinary, {}, 0},
        {RegistryTypeBinary, {1}, 1},
        {RegistryTypeBinary, {0x34, 0x12}, 0x1234},
        {RegistryTypeBinary, {0x56, 0x34, 0x12}, 0x123456},
        // A longer value does not fit the 4-byte read and counts as 0.
        {RegistryTypeBinary, {1, 0, 0, 0, 0}, 0},
        {RegistryTypeDword, {1, 1, 1, 1, 1, 1, 1, 1}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.data));
        ASSERT_TRUE(
            FixtureSetValue(RegistryCurrentUser, ProgramKey, "ShowWarning", c.type, c.data));
        EXPECT_EQ(c.expected, ReadShowWarning());
    }
}

#ifndef _WIN32

// Each registry call of a save fails in turn: the result says whether the value was stored, the
// company key is never made, and no handle stays open.
TEST_F(Preference, SaveSurvivesEachFailedCall) {
    for (int companyExists = 0; companyExists < 2; ++companyExists) {
        for (int programExists = 0; programExists <= companyExists; ++programExists) {
            MemoryRegistry::Reset();
            if (companyExists)
                MemoryRegistry::CreateKey(RegistryCurrentUser, CompanyKey);
            if (programExists)
                MemoryRegistry::CreateKey(RegistryCurrentUser, ProgramKey);
            SaveShowWarning(0);
            uint32_t calls = MemoryRegistry::Calls(MemoryRegistry::OpAny);
            for (uint32_t fail = 0; fail < calls; ++fail) {
                SCOPED_TRACE(::testing::Message() << "company " << companyExists << " program "
                                                  << programExists << " failing call " << fail);
                MemoryRegistry::Reset();
                if (companyExists)
                    MemoryRegistry::CreateKey(RegistryCurrentUser, CompanyKey);
                if (programExists)
                    MemoryRegistry::CreateKey(RegistryCurrentUser, ProgramKey);
                MemoryRegistry::FailCall(MemoryRegistry::OpAny, fail, 0);
                int saved = SaveShowWarning(1);
                MemoryRegistry::ClearFailures();
                EXPECT_EQ(0, MemoryRegistry::OpenHandles());
                EXPECT_EQ(companyExists,
                          MemoryRegistry::KeyExists(RegistryCurrentUser, CompanyKey));
                EXPECT_EQ(saved ? 1u : 0u, ReadShowWarning());
            }
        }
    }
}

TEST_F(Preference, ReadGivesZeroOnEachFailedCall) {
    MemoryRegistry::Reset();
    MemoryRegistry::CreateKey(RegistryCurrentUser, ProgramKey);
    ASSERT_EQ(1, SaveShowWarning(1));
    MemoryRegistry::ResetCounters();
    ASSERT_EQ(1u, ReadShowWarning());
    uint32_t calls = MemoryRegistry::Calls(MemoryRegistry::OpAny);
    ASSERT_EQ(2u, calls); // open and query
    for (uint32_t fail = 0; fail < calls; ++fail) {
        MemoryRegistry::FailCall(MemoryRegistry::OpAny, fail, 0);
        EXPECT_EQ(0u, ReadShowWarning()) << "failing call " << fail;
        MemoryRegistry::ClearFailures();
        EXPECT_EQ(0, MemoryRegistry::OpenHandles());
    }
}

#endif

} // namespace
