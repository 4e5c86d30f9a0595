#include "support/registry_fixture.h"

#include "doubles/fake_registry.h"

int FixtureCreateKey(RegistryRoot root, const std::string& path) {
    return MemoryRegistry::CreateKey(root, path.c_str());
}

int FixtureDeleteTree(RegistryRoot root, const std::string& path) {
    MemoryRegistry::DeleteKey(root, path.c_str());
    return !MemoryRegistry::KeyExists(root, path.c_str());
}

int FixtureKeyExists(RegistryRoot root, const std::string& path) {
    return MemoryRegistry::KeyExists(root, path.c_str());
}

int FixtureIsMemoryRegistry() { return 1; }
