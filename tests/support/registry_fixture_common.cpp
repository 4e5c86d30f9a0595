#include "support/registry_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>

int FixtureSetValue(RegistryRoot root, const std::string& path, const std::string& name,
                    uint32_t type, const std::vector<uint8_t>& data) {
    RegistryKey key;
    if (!RegistryOpenKey(root, path.c_str(), &key))
        return 0;
    int ok = RegistrySetValue(key, name.c_str(), type, data.empty() ? nullptr : data.data(),
                              static_cast<uint32_t>(data.size()));
    RegistryCloseKey(key);
    return ok;
}

int FixtureGetValue(RegistryRoot root, const std::string& path, const std::string& name,
                    std::vector<uint8_t>* data, uint32_t* type) {
    RegistryKey key;
    if (!RegistryOpenKey(root, path.c_str(), &key))
        return 0;
    uint32_t length = 0;
    int ok = RegistryQueryValue(key, name.c_str(), type, nullptr, &length);
    if (ok) {
        data->assign(length, 0);
        uint8_t byte = 0;
        ok = RegistryQueryValue(key, name.c_str(), type, length ? data->data() : &byte, &length);
    }
    RegistryCloseKey(key);
    return ok;
}

std::vector<std::string> FixtureValueNames(RegistryRoot root, const std::string& path) {
    std::vector<std::string> names;
    RegistryKey key;
    if (!RegistryOpenKey(root, path.c_str(), &key))
        return names;
    uint32_t count = 0;
    if (RegistryCountValues(key, &count)) {
        std::vector<char> name(32768);
        std::vector<uint8_t> data(1 << 20);
        for (uint32_t i = 0; i < count; ++i) {
            uint32_t nameLength = static_cast<uint32_t>(name.size());
            uint32_t dataLength = static_cast<uint32_t>(data.size());
            if (RegistryEnumValue(key, i, name.data(), &nameLength, nullptr, data.data(),
                                  &dataLength))
                names.push_back(std::string(name.data(), nameLength));
        }
    }
    RegistryCloseKey(key);
    std::sort(names.begin(), names.end());
    return names;
}

std::string FixtureTestKey() {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = "Software\\Velmora Tests\\";
    if (info)
        name += std::string(info->test_suite_name()) + "." + info->name();
    for (char& c : name)
        if (c == '/')
            c = '_';
    return name;
}
