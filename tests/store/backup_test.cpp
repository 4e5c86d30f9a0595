#include "store/backup.h"

#include "store/device_store.h"
#include "support/registry_fixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const RegistryRoot Machine = RegistryLocalMachine;
const RegistryRoot User = RegistryCurrentUser;
const char Device[] = "DISPLAY1";
const char OriginalPath[] = "Original Registry Path";

std::vector<uint8_t> Bytes(const std::string& text) {
    return std::vector<uint8_t>(text.begin(), text.end());
}

std::vector<uint8_t> Pattern(size_t length, uint8_t seed) {
    std::vector<uint8_t> bytes(length);
    for (size_t i = 0; i < length; ++i)
        bytes[i] = static_cast<uint8_t>(seed + i * 7);
    return bytes;
}

struct Value {
    std::string name;
    uint32_t type;
    std::vector<uint8_t> data;
};

} // namespace

// The driver key is FixtureTestKey() under HKEY_LOCAL_MACHINE; the company key under
// HKEY_CURRENT_USER is made afresh for every test and removed after it.
class Backup : public ::testing::Test {
protected:
    void SetUp() override {
        key = FixtureTestKey();
        backupKey = std::string(UserKeyPath) + "\\" + Device;
        FixtureDeleteTree(Machine, key);
        ASSERT_EQ(1, FixtureCreateKey(Machine, key));
        ASSERT_EQ(1, driver.SetPath(key.c_str()));
        ASSERT_EQ(1, FixtureDeleteTree(User, CompanyKeyPath));
        ASSERT_EQ(1, FixtureCreateKey(User, CompanyKeyPath));
    }
    void TearDown() override {
        FixtureDeleteTree(Machine, key);
        FixtureDeleteTree(User, CompanyKeyPath);
    }

    void Put(const std::string& name, uint32_t type, const std::vector<uint8_t>& data) {
        ASSERT_EQ(1, FixtureSetValue(Machine, driver.path, name, type, data));
    }
    // Every value of the backup key, in name order.
    std::vector<Value> BackupValues(const std::string& path) {
        std::vector<Value> values;
        for (const std::string& name : FixtureValueNames(User, path)) {
            Value value{name, 0, {}};
            EXPECT_EQ(1, FixtureGetValue(User, path, name, &value.data, &value.type));
            values.push_back(value);
        }
        return values;
    }
    void ExpectValue(const Value& value, const std::string& name, uint32_t type,
                     const std::vector<uint8_t>& data) {
        EXPECT_EQ(name, value.name);
        EXPECT_EQ(type, value.type) << name;
        EXPECT_EQ(data, value.data) << name;
    }
    // The path note is text of exactly its characters, with no terminating zero.
    void ExpectPathNote(const Value& value, const std::string& path) {
        ExpectValue(value, OriginalPath, RegistryTypeSz, Bytes("HKEY_LOCAL_MACHINE\\" + path));
    }

    std::string key;
    std::string backupKey;
    DriverKey driver;
};

TEST_F(Backup, FirstLoadCopiesTheModeValues) {
    const std::vector<uint8_t> a = Pattern(68, 1), b = Pattern(100, 2), c = Pattern(10, 3);
    const std::vector<uint8_t> modes = Pattern(16, 4);
    Put("QORDTMCRTBCD0640X0480X0X60", RegistryTypeBinary, a);
    Put("QORDTMCRTBCD0800X0600X0X75", RegistryTypeSz, b);
    Put("QORDTMCRTBCDnot a mode", RegistryTypeDword, c);
    Put(ModeListValueName, RegistryTypeBinary, modes);
    Put("Other", RegistryTypeBinary, {1});
    Put("XQORDTMCRTBCD0640X0480X0X60", RegistryTypeBinary, a);
    Put("qordtmcrtbcd1024X0768X0X60", RegistryTypeBinary, a);

    EXPECT_EQ(1, IsBackupMissing(Device));
    ASSERT_EQ(1, BackupOriginalSettings(driver, Device));
    EXPECT_EQ(0, IsBackupMissing(Device));

    std::vector<Value> values = BackupValues(backupKey);
    ASSERT_EQ(5u, values.size());
    ExpectPathNote(values[0], key);
    ExpectValue(values[1], "QORDTMCRTBCD0640X0480X0X60", RegistryTypeBinary, a);
    ExpectValue(values[2], "QORDTMCRTBCD0800X0600X0X75", RegistryTypeSz, b);
    ExpectValue(values[3], "QORDTMCRTBCDnot a mode", RegistryTypeDword, c);
    ExpectValue(values[4], ModeListValueName, RegistryTypeBinary, modes);
}

// The note of the source key is the whole path, counted without a terminating zero, however
// long the path that the driver key holds.
TEST_F(Backup, OriginalRegistryPathHoldsTheWholePath) {
    const size_t longest = DevicePathSize - 1;
    const std::string padded = key + "\\" + std::string(longest - key.size() - 1, 'p');
    for (const std::string& path : {key, padded}) {
        SCOPED_TRACE(path.size());
        ASSERT_EQ(1, FixtureDeleteTree(User, UserKeyPath));
        ASSERT_EQ(1, FixtureCreateKey(Machine, path));
        ASSERT_EQ(1, driver.SetPath(path.c_str()));
        ASSERT_EQ(1, BackupOriginalSettings(driver, Device));
        std::vector<Value> values = BackupValues(backupKey);
        ASSERT_EQ(1u, values.size());
        ExpectPathNote(values[0], path);
    }
}

TEST_F(Backup, ExistingBackupIsNeverWrittenAgain) {
    ASSERT_EQ(1, BackupOriginalSettings(driver, Device)); // an empty driver key: only the path note
    Put("QORDTMCRTBCD0640X0480X0X60", RegistryTypeBinary, Pattern(68, 1));
    Put(ModeListValueName, RegistryTypeBinary, Pattern(8, 2));
    EXPECT_EQ(0, BackupOriginalSettings(driver, Device));
    EXPECT_EQ(1, EnsureWholeBackup(driver, Device)); // whole already: a writer may go on
    std::vector<Value> values = BackupValues(backupKey);
    ASSERT_EQ(1u, values.size());
    EXPECT_EQ(OriginalPath, values[0].name);

    // Once the backup key is gone, the next load copies the key as it then stands.
    ASSERT_EQ(1, FixtureDeleteTree(User, backupKey));
    ASSERT_EQ(1, BackupOriginalSettings(driver, Device));
    EXPECT_EQ(3u, BackupValues(backupKey).size());
}

// A backup key without its mark is a copy that ended part-way. Nothing writes the driver key
// until its backup is whole, so the driver key still holds the originals: the copy is taken again
// over the key it left, whose stale values give way to the driver key's (a timing it lacks is
// deleted, one named in another case comes back under the driver key's name, the mode list is
// replaced or deleted), and the mark goes last.
TEST_F(Backup, AnIncompleteBackupIsTakenAgainInPlace) {
    const std::vector<uint8_t> vga = Pattern(68, 1), svga = Pattern(68, 2), list = Pattern(16, 3);
    struct Case {
        int ensure; // through EnsureWholeBackup, as a writer asks, rather than the copy itself
        int driverList;
    } cases[] = {{0, 1}, {0, 0}, {1, 1}, {1, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "ensure " << c.ensure << " list " << c.driverList);
        ASSERT_EQ(1, FixtureDeleteTree(Machine, key));
        ASSERT_EQ(1, FixtureCreateKey(Machine, key));
        Put("QORDTMCRTBCD0640X0480X0X60", RegistryTypeBinary, vga);
        Put("QORDTMCRTBCD0800X0600X0X75", RegistryTypeBinary, svga);
        if (c.driverList)
            Put(ModeListValueName, RegistryTypeBinary, list);
        ASSERT_EQ(1, FixtureDeleteTree(User, UserKeyPath));
        ASSERT_EQ(1, FixtureCreateKey(User, backupKey));
        ASSERT_EQ(1, FixtureSetValue(User, backupKey, "qordtmcrtbcd0640X0480X0X60",
                                     RegistryTypeBinary, Pattern(68, 9)));
        ASSERT_EQ(1, FixtureSetValue(User, backupKey, "QORDTMCRTBCD1024X0768X0X60",
                                     RegistryTypeBinary, Pattern(68, 9)));
        ASSERT_EQ(1, FixtureSetValue(User, backupKey, ModeListValueName, RegistryTypeBinary,
                                     Pattern(8, 9)));
        ASSERT_EQ(BackupIncomplete, ReadBackupState(Device));

        EXPECT_EQ(1, c.ensure ? EnsureWholeBackup(driver, Device)
                              : BackupOriginalSettings(driver, Device));
        EXPECT_EQ(BackupWhole, ReadBackupState(Device));
        std::vector<Value> values = BackupValues(backupKey);
        ASSERT_EQ(c.driverList ? 4u : 3u, values.size());
        ExpectPathNote(values[0], key);
        ExpectValue(values[1], "QORDTMCRTBCD0640X0480X0X60", RegistryTypeBinary, vga);
        ExpectValue(values[2], "QORDTMCRTBCD0800X0600X0X75", RegistryTypeBinary, svga);
        if (c.driverList)
            ExpectValue(values[3], ModeListValueName, RegistryTypeBinary, list);
    }
}

TEST_F(Backup, DeviceKeyIsMadeBelowAnExistingUserKey) {
    const std::vector<uint8_t> one = {1, 0, 0, 0};
    ASSERT_EQ(1, FixtureCreateKey(User, UserKeyPath));
    ASSERT_EQ(1, FixtureSetValue(User, UserKeyPath, "ShowWarning", RegistryTypeDword, one));
    Put(ModeListValueName, RegistryTypeBinary, Pattern(8, 2));
    ASSERT_EQ(1, BackupOriginalSettings(driver, Device));

    std::vector<Value> user = BackupValues(UserKeyPath);
    ASSERT_EQ(1u, user.size());
    ExpectValue(user[0], "ShowWarning", RegistryTypeDword, one);
    EXPECT_EQ(2u, BackupValues(backupKey).size());
}

// Without the company key nothing can be kept, and the copy is tried again at every load.
TEST_F(Backup, MissingCompanyKeyCreatesNothing) {
    ASSERT_EQ(1, FixtureDeleteTree(User, CompanyKeyPath));
    Put(ModeListValueName, RegistryTypeBinary, Pattern(8, 2));
    for (int load = 0; load < 2; ++load) {
        EXPECT_EQ(1, BackupOriginalSettings(driver, Device));
        EXPECT_FALSE(FixtureKeyExists(User, CompanyKeyPath));
    }
    EXPECT_EQ(0, WriteBackupValue(Device, "Value", nullptr, 0, RegistryTypeBinary));
    EXPECT_FALSE(FixtureKeyExists(User, CompanyKeyPath));
}

TEST_F(Backup, WriteBackupValueMakesTheChain) {
    const std::vector<uint8_t> data = Pattern(5, 9);
    ASSERT_EQ(1, WriteBackupValue(Device, "First", data.data(), 5, RegistryTypeBinary));
    ASSERT_EQ(1, WriteBackupValue(Device, "Empty", nullptr, 0, RegistryTypeBinary));
    std::vector<Value> values = BackupValues(backupKey);
    ASSERT_EQ(2u, values.size());
    ExpectValue(values[0], "Empty", RegistryTypeBinary, {});
    ExpectValue(values[1], "First", RegistryTypeBinary, data);
    EXPECT_EQ(0, WriteBackupValue(Device, "Bad", nullptr, 3, RegistryTypeBinary));
    EXPECT_EQ(0, WriteBackupValue(Device, nullptr, data.data(), 5, RegistryTypeBinary));
}

// The mode list is copied whatever its length; timing values are walked through 260-byte
// buffers, so one whose name or data does not fit them is not copied.
TEST_F(Backup, ValueLengths) {
    const std::vector<uint8_t> longList = Pattern(8 * 100, 5);
    const std::vector<uint8_t> fits = Pattern(260, 6);
    Put(ModeListValueName, RegistryTypeBinary, longList);
    Put("QORDTMCRTBCD0640X0480X0X60", RegistryTypeBinary, fits);
    Put("QORDTMCRTBCD0800X0600X0X60", RegistryTypeBinary, Pattern(261, 7));
    Put("QORDTMCRTBCD" + std::string(247, '1'), RegistryTypeBinary, Pattern(68, 8));
    Put("QORDTMCRTBCD" + std::string(248, '2'), RegistryTypeBinary, Pattern(68, 8));
    ASSERT_EQ(1, BackupOriginalSettings(driver, Device));

    std::vector<Value> values = BackupValues(backupKey);
    ASSERT_EQ(4u, values.size());
    ExpectPathNote(values[0], key);
    ExpectValue(values[1], "QORDTMCRTBCD0640X0480X0X60", RegistryTypeBinary, fits);
    ExpectValue(values[2], "QORDTMCRTBCD" + std::string(247, '1'), RegistryTypeBinary,
                Pattern(68, 8));
    ExpectValue(values[3], ModeListValueName, RegistryTypeBinary, longList);
}

TEST_F(Backup, EmptyModeListIsCopiedEmpty) {
    Put(ModeListValueName, RegistryTypeBinary, {});
    ASSERT_EQ(1, BackupOriginalSettings(driver, Device));
    std::vector<Value> values = BackupValues(backupKey);
    ASSERT_EQ(2u, values.size());
    ExpectValue(values[1], ModeListValueName, RegistryTypeBinary, {});
}

// A device short name is the last part of the backup key path: it must name a key of its own
// below Velmora and fit the path buffer, or nothing is read or written for it.
TEST_F(Backup, DeviceNamesWithoutABackupKeyAreRefused) {
    const std::string longest(BackupKeyPathSize - 1 - std::string(UserKeyPath).size() - 1, 'n');
    const std::string tooLong = longest + "n";
    Put(ModeListValueName, RegistryTypeBinary, Pattern(8, 2));

    EXPECT_EQ(0, BackupOriginalSettings(driver, ""));
    EXPECT_EQ(0, BackupOriginalSettings(driver, nullptr));
    EXPECT_EQ(0, BackupOriginalSettings(driver, tooLong.c_str()));
    EXPECT_EQ(1, IsBackupMissing(tooLong.c_str()));
    EXPECT_EQ(0, WriteBackupValue(tooLong.c_str(), "V", nullptr, 0, RegistryTypeBinary));
    EXPECT_EQ(0, WriteBackupValue("", "V", nullptr, 0, RegistryTypeBinary));
    EXPECT_FALSE(FixtureKeyExists(User, UserKeyPath));

    ASSERT_EQ(1, BackupOriginalSettings(driver, longest.c_str()));
    EXPECT_EQ(2u, BackupValues(std::string(UserKeyPath) + "\\" + longest).size());
}

TEST_F(Backup, NoDriverKeyNoCopy) {
    ASSERT_EQ(1, driver.SetPath(""));
    EXPECT_EQ(0, BackupOriginalSettings(driver, Device));
    ASSERT_EQ(1, driver.SetPath((key + "\\Missing").c_str()));
    EXPECT_EQ(0, BackupOriginalSettings(driver, Device));
    EXPECT_FALSE(FixtureKeyExists(User, UserKeyPath));
}

TEST_F(Backup, ProbeLeavesTheKeyAsItWas) {
    Put("QORDTMCRTBCD0640X0480X0X60", RegistryTypeBinary, Pattern(68, 1));
    Put("Other", RegistryTypeDword, {1, 0, 0, 0});
    const std::vector<std::string> before = FixtureValueNames(Machine, key);
    EXPECT_EQ(1, ProbeWriteAccess(driver));
    EXPECT_EQ(before, FixtureValueNames(Machine, key));

    ASSERT_EQ(1, driver.SetPath((key + "\\Missing").c_str()));
    EXPECT_EQ(0, ProbeWriteAccess(driver));
    ASSERT_EQ(1, driver.SetPath(""));
    EXPECT_EQ(0, ProbeWriteAccess(driver));
}

// What the backup relies on from the registry, on either registry: absence told apart from a
// key or value that is there, and the deletion of a key it made.
TEST_F(Backup, RegistryTellsMissingApartAndDeletesAKey) {
    RegistryKey company;
    int missing = -1;
    EXPECT_EQ(0, RegistryOpenKey(User, backupKey.c_str(), &company, &missing));
    EXPECT_EQ(1, missing);
    ASSERT_EQ(1, RegistryOpenKey(User, CompanyKeyPath, &company, &missing));
    EXPECT_EQ(0, missing);
    uint32_t length = 0;
    EXPECT_EQ(0, RegistryQueryValue(company, "Absent", nullptr, nullptr, &length, &missing));
    EXPECT_EQ(1, missing);
    ASSERT_EQ(1, FixtureSetValue(User, CompanyKeyPath, "Short", RegistryTypeBinary, {1, 2, 3}));
    uint8_t one = 0;
    length = 1;
    EXPECT_EQ(0, RegistryQueryValue(company, "Short", nullptr, &one, &length, &missing));
    EXPECT_EQ(0, missing); // there, but larger than the buffer

    ASSERT_EQ(1, FixtureCreateKey(User, std::string(CompanyKeyPath) + "\\Made\\Below"));
    EXPECT_EQ(0, RegistryDeleteKey(company, "Made")); // it has a key of its own
    EXPECT_EQ(0, RegistryDeleteKey(company, "Absent"));
    RegistryKey made;
    ASSERT_EQ(1, RegistryOpenKey(User, (std::string(CompanyKeyPath) + "\\Made").c_str(), &made));
    EXPECT_EQ(1, RegistryDeleteKey(made, "Below"));
    RegistryCloseKey(made);
    EXPECT_EQ(1, RegistryDeleteKey(company, "Made"));
    RegistryCloseKey(company);
    EXPECT_FALSE(FixtureKeyExists(User, std::string(CompanyKeyPath) + "\\Made"));
}
