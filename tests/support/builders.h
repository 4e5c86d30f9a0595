// Builders shared by the tests, the fuzzers and the benchmarks: timing records and mode entries,
// their stored bytes and value names, and the plain views of the two lists that cases compare.
#pragma once

#include "store/device_store.h"
#include "store/mode_list.h"
#include "store/timing.h"

#include <cstdint>
#include <string>
#include <vector>

// A block holding `words` from word 0 on, the other words 0, the checksum word as given.
TimingBlock BlockOf(const std::vector<uint32_t>& words);

// The same with the checksum word computed from the other words, so that the block loads.
TimingBlock SealedBlock(const std::vector<uint32_t>& words);

// The flags word `flags` and raster word i (1 to 15) base + step * i, checksum computed.
TimingBlock RisingBlock(uint32_t flags, uint32_t base, uint32_t step = 1);

// A record of the mode with `block`, or with SealedBlock(words).
CustomTiming TimingOfBlock(uint32_t width, uint32_t height, uint32_t refresh,
                           const TimingBlock& block);
CustomTiming TimingOf(uint32_t width, uint32_t height, uint32_t refresh,
                      const std::vector<uint32_t>& words = {});

// Mode i of a device of any size, with plausible CRT timing words and its checksum: width and
// height differ for every i below 1,000,000 and stay below 10,000, so every name scans back.
CustomTiming NumberedTiming(uint32_t i);

// The non-standard mode of NumberedTiming(i).
NonStandardMode NumberedMode(uint32_t i);

NonStandardMode ModeEntry(uint16_t width, uint16_t height, uint16_t reserved, uint16_t refresh);

// The driver key's value name of a mode ("QORDTMCRTBCD0640X0480X0X60").
std::string TimingValueName(uint32_t width, uint32_t height, uint32_t refresh);
std::string TimingValueName(const CustomTiming& timing);

// The 68 stored bytes of a block or a record.
std::vector<uint8_t> StoredBytes(const TimingBlock& block);
std::vector<uint8_t> StoredBytes(const CustomTiming& timing);

// The stored mode list of `modes`, eight bytes each, in order.
std::vector<uint8_t> ModeListBytes(const std::vector<NonStandardMode>& modes);

// Every record or entry of a list, from its first on.
std::vector<CustomTiming> Records(TimingList& list);
std::vector<NonStandardMode> Entries(NonStandardModeList& list);

// "640x480@60" for a record; a list's records so; "640x480/0@60" for each entry of a mode list.
std::string ModeKey(const CustomTiming& timing);
std::vector<std::string> TimingStrings(TimingList& list);
std::vector<std::string> ModeStrings(NonStandardModeList& list);

// 1 when two records are the same to the byte, or two entries field for field.
int SameTiming(const CustomTiming& a, const CustomTiming& b);
int SameMode(const NonStandardMode& a, const NonStandardMode& b);

// 1 when the registry takes the two value names for the same: equal without regard to the case
// of the ASCII letters.
int SameValueName(const std::string& a, const std::string& b);
