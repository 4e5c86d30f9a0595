// Failures of the backup and the probe that only the in-memory registry can stage.
#include "store/backup.h"

#include "doubles/fake_registry.h"
#include "store/device_store.h"
#include "support/failure_sweep.h"
#include "support/registry_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace {

using MemoryRegistry::Operation;

const RegistryRoot Machine = RegistryLocalMachine;
const RegistryRoot User = RegistryCurrentUser;
const char Device[] = "DISPLAY1";
const char VgaName[] = "QORDTMCRTBCD0640X0480X0X60";
const char SvgaName[] = "QORDTMCRTBCD0800X0600X0X75";
const char OriginalPath[] = "Original Registry Path";

} // namespace

// Driver key values in enumeration order: two timing values, the mode list, one other value.
class Backup : public ::testing::Test {
protected:
    void SetUp() override { Seed(); }
    void TearDown() override { MemoryRegistry::Reset(); }
    void Seed() {
        MemoryRegistry::Reset();
        key = FixtureTestKey();
        backupKey = std::string(UserKeyPath) + "\\" + Device;
        ASSERT_EQ(1, FixtureCreateKey(Machine, key));
        ASSERT_EQ(1, FixtureSetValue(Machine, key, VgaName, RegistryTypeBinary, {1, 2}));
        ASSERT_EQ(1, FixtureSetValue(Machine, key, SvgaName, RegistryTypeBinary, {3}));
        ASSERT_EQ(1, FixtureSetValue(Machine, key, ModeListValueName, RegistryTypeBinary, {4}));
        ASSERT_EQ(1, FixtureSetValue(Machine, key, "Other", RegistryTypeBinary, {5}));
        ASSERT_EQ(1, FixtureCreateKey(User, CompanyKeyPath));
        ASSERT_EQ(1, driver.SetPath(key.c_str()));
        MemoryRegistry::ResetCounters();
    }
    std::vector<std::string> BackupNames() { return FixtureValueNames(User, backupKey); }

    std::string key;
    std::string backupKey;
    DriverKey driver;
};

TEST_F(Backup, ProbeWithoutPathMakesNoRegistryCall) {
    ASSERT_EQ(1, driver.SetPath(""));
    EXPECT_EQ(0, ProbeWriteAccess(driver));
    EXPECT_EQ(0u, MemoryRegistry::Calls(MemoryRegistry::OpAny));
    EXPECT_EQ(0u, MemoryRegistry::Calls(MemoryRegistry::OpClose));
}

TEST_F(Backup, ProbeOnAnUnwritableKeyFails) {
    ASSERT_EQ(1, MemoryRegistry::SetWritable(Machine, key.c_str(), 0));
    EXPECT_EQ(0, ProbeWriteAccess(driver));
    EXPECT_EQ(0u, MemoryRegistry::Calls(MemoryRegistry::OpSet));
    EXPECT_EQ(0, MemoryRegistry::OpenHandles());
}

TEST_F(Backup, ProbeFailures) {
    // A failed set is the answer "no access", and nothing is deleted.
    MemoryRegistry::FailCall(MemoryRegistry::OpSet, 0, 0);
    EXPECT_EQ(0, ProbeWriteAccess(driver));
    EXPECT_EQ(0u, MemoryRegistry::Calls(MemoryRegistry::OpDelete));
    EXPECT_EQ(0, MemoryRegistry::OpenHandles());

    // A failed delete leaves the probe value, written as one byte of the number type.
    MemoryRegistry::FailCall(MemoryRegistry::OpDelete, 0, 0);
    EXPECT_EQ(1, ProbeWriteAccess(driver));
    MemoryRegistry::ClearFailures();
    std::vector<uint8_t> data;
    uint32_t type = 0;
    ASSERT_EQ(1, FixtureGetValue(Machine, key, "DUMMY", &data, &type));
    EXPECT_EQ(RegistryTypeDword, type);
    EXPECT_EQ(std::vector<uint8_t>{1}, data);
    EXPECT_EQ(0, MemoryRegistry::OpenHandles());
}

TEST_F(Backup, RefusedNamesMakeNoRegistryCall) {
    const std::string tooLong(BackupKeyPathSize, 'n');
    for (const char* name : {static_cast<const char*>(nullptr), "", tooLong.c_str()}) {
        EXPECT_EQ(0, BackupOriginalSettings(driver, name));
        EXPECT_EQ(0, WriteBackupValue(name, "V", nullptr, 0, RegistryTypeBinary));
    }
    EXPECT_EQ(0u, MemoryRegistry::Calls(MemoryRegistry::OpAny));
}

TEST_F(Backup, UnreadableDriverKeyCopiesNothing) {
    struct Case {
        const char* what;
        std::function<void()> stage;
    } cases[] = {
        {"unwritable", [&] { MemoryRegistry::SetWritable(Machine, key.c_str(), 0); }},
        // Open number 0 asks whether the backup exists; number 1 is the driver key.
        {"open fails", [] { MemoryRegistry::FailCall(MemoryRegistry::OpOpen, 1, 0); }},
        {"count fails", [] { MemoryRegistry::FailCall(MemoryRegistry::OpCount, 0, 0); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Seed();
        c.stage();
        EXPECT_EQ(0, BackupOriginalSettings(driver, Device));
        MemoryRegistry::ClearFailures();
        EXPECT_FALSE(FixtureKeyExists(User, UserKeyPath));
        EXPECT_EQ(0, MemoryRegistry::OpenHandles());
    }
}

// A backup is whole, absent, or incomplete (without its mark): whatever single call fails, no
// copy passes for whole, and the next load takes it whole.
TEST_F(Backup, AFailedCopyIsNeverWhole) {
    const struct {
        const char* what;
        Operation op;
        uint32_t index;
    } cases[] = {
        {"backup check", MemoryRegistry::OpOpen, 0},
        {"company key", MemoryRegistry::OpOpen, 2},
        {"enumeration", MemoryRegistry::OpEnum, 0},
        {"list size", MemoryRegistry::OpQuery, 0},
        {"list data", MemoryRegistry::OpQuery, 1},
        {"user key creation", MemoryRegistry::OpCreate, 0},
        {"device key creation", MemoryRegistry::OpCreate, 1},
        {"first set", MemoryRegistry::OpSet, 0},
        {"last set", MemoryRegistry::OpSet, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Seed();
        MemoryRegistry::FailCall(c.op, c.index, 0);
        EXPECT_EQ(0, BackupOriginalSettings(driver, Device));
        MemoryRegistry::ClearFailures();
        EXPECT_NE(BackupWhole, ReadBackupState(Device));
        EXPECT_EQ(0, MemoryRegistry::OpenHandles());
        EXPECT_EQ(1, BackupOriginalSettings(driver, Device));
        EXPECT_EQ(4u, BackupNames().size());
    }
}

// Two writers over one device: A has begun the copy and stopped part-way; B finds it incomplete,
// takes it again and, once it is whole, writes the driver key. A's copy, failing now, deletes
// nothing, and a later writer never copies B's edits over the whole backup.
TEST_F(Backup, ASecondWriterNeverLosesTheFirstsWholeBackup) {
    MemoryRegistry::FailCall(MemoryRegistry::OpSet, 1, 0);
    EXPECT_EQ(0, BackupOriginalSettings(driver, Device)); // A, cut short
    MemoryRegistry::ClearFailures();
    ASSERT_EQ(BackupIncomplete, ReadBackupState(Device));
    EXPECT_EQ(1, EnsureWholeBackup(driver, Device)); // B
    const std::vector<std::string> whole = BackupNames();
    ASSERT_EQ(1, FixtureSetValue(Machine, key, VgaName, RegistryTypeBinary, {9, 9}));
    EXPECT_EQ(0, BackupOriginalSettings(driver, Device)); // A again: whole, left alone
    EXPECT_EQ(1, EnsureWholeBackup(driver, Device));
    EXPECT_EQ(whole, BackupNames());
    std::vector<uint8_t> held;
    uint32_t type = 0;
    ASSERT_EQ(1, FixtureGetValue(User, backupKey, VgaName, &held, &type));
    EXPECT_EQ((std::vector<uint8_t>{1, 2}), held);
}

// A backup key that exists but cannot be opened is left as it is; a missing list is no failure.
TEST_F(Backup, ExistingOrUnreadableBackupAndMissingList) {
    ASSERT_EQ(1, FixtureCreateKey(User, backupKey));
    ASSERT_EQ(1, MemoryRegistry::SetWritable(User, backupKey.c_str(), 0));
    EXPECT_EQ(0, IsBackupMissing(Device));
    EXPECT_EQ(0, BackupOriginalSettings(driver, Device));
    EXPECT_TRUE(BackupNames().empty());

    Seed();
    RegistryKey opened;
    ASSERT_EQ(1, RegistryOpenKey(Machine, key.c_str(), &opened));
    ASSERT_EQ(1, RegistryDeleteValue(opened, ModeListValueName));
    RegistryCloseKey(opened);
    EXPECT_EQ(1, BackupOriginalSettings(driver, Device));
    EXPECT_EQ((std::vector<std::string>{OriginalPath, VgaName, SvgaName}), BackupNames());
}

TEST_F(Backup, NoKeyStaysOpenWhateverFails) {
    const std::vector<std::pair<const char*, std::function<int()>>> operations = {
        {"backup", [this] { return BackupOriginalSettings(driver, Device); }},
        {"probe", [this] { return ProbeWriteAccess(driver); }},
        {"backup check", [] { return IsBackupMissing(Device); }},
    };
    for (const auto& operation : operations) {
        SCOPED_TRACE(operation.first);
        const uint32_t points = SweepFailures(
            [this] { Seed(); }, operation.second,
            [](int result, const SweepPoint&) { EXPECT_TRUE(result == 0 || result == 1); });
        EXPECT_GE(points, 2u);
    }
}
