// Test access to whichever registry the test executable links: the in-memory one natively, the
// real one under Wine. Each test works below a key of its own, so that test executables that
// ctest runs in parallel do not disturb each other.
#pragma once

#include "store/registry.h"

#include <cstdint>
#include <string>
#include <vector>

// Creates root\path with every missing key on the way. 1 on success.
int FixtureCreateKey(RegistryRoot root, const std::string& path);
// Deletes root\path and everything below it; 1 when it is gone afterwards.
int FixtureDeleteTree(RegistryRoot root, const std::string& path);
int FixtureKeyExists(RegistryRoot root, const std::string& path);

// Value helpers, through the registry interface itself.
int FixtureSetValue(RegistryRoot root, const std::string& path, const std::string& name,
                    uint32_t type, const std::vector<uint8_t>& data);
int FixtureGetValue(RegistryRoot root, const std::string& path, const std::string& name,
                    std::vector<uint8_t>* data, uint32_t* type);
// Names of every value of the key, sorted (the registry promises no order).
std::vector<std::string> FixtureValueNames(RegistryRoot root, const std::string& path);

// A key path unique to the running test: "Software\Velmora Tests\<suite>.<name>".
std::string FixtureTestKey();

// 1 when the test runs against the in-memory registry.
int FixtureIsMemoryRegistry();
