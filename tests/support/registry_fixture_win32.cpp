#include "support/registry_fixture.h"

#include <windows.h>

namespace {
HKEY Base(RegistryRoot root) {
    return root == RegistryLocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}
} // namespace

int FixtureCreateKey(RegistryRoot root, const std::string& path) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(Base(root), path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return 0;
    RegCloseKey(key);
    return 1;
}

int FixtureDeleteTree(RegistryRoot root, const std::string& path) {
    RegDeleteTreeA(Base(root), path.c_str());
    return !FixtureKeyExists(root, path);
}

int FixtureKeyExists(RegistryRoot root, const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(Base(root), path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    RegCloseKey(key);
    return 1;
}

int FixtureIsMemoryRegistry() { return 0; }
