#include "support/builders.h"

#include <cctype>
#include <cstring>

TimingBlock BlockOf(const std::vector<uint32_t>& words) {
    TimingBlock block{};
    for (size_t i = 0; i < words.size() && i < sizeof block.words / sizeof block.words[0]; ++i)
        block.words[i] = words[i];
    return block;
}

TimingBlock SealedBlock(const std::vector<uint32_t>& words) {
    TimingBlock block = BlockOf(words);
    block.words[TimingChecksumWord] = ComputeTimingChecksum(block.words);
    return block;
}

TimingBlock RisingBlock(uint32_t flags, uint32_t base, uint32_t step) {
    TimingBlock block{};
    block.words[TimingFlagsWord] = flags;
    for (uint32_t i = 1; i < TimingWordCount; ++i)
        block.words[i] = base + step * i;
    block.words[TimingChecksumWord] = ComputeTimingChecksum(block.words);
    return block;
}

CustomTiming TimingOfBlock(uint32_t width, uint32_t height, uint32_t refresh,
                           const TimingBlock& block) {
    CustomTiming timing{};
    timing.width = width;
    timing.height = height;
    timing.refresh = refresh;
    timing.block = block;
    return timing;
}

CustomTiming TimingOf(uint32_t width, uint32_t height, uint32_t refresh,
                      const std::vector<uint32_t>& words) {
    return TimingOfBlock(width, height, refresh, SealedBlock(words));
}

CustomTiming NumberedTiming(uint32_t i) {
    return TimingOf(640 + i / 100, 400 + i % 100, 60 + i % 41,
                    {i % 16, 1056, 800, 840, 128, 628, 600, 601, 4, 4000, 8, 8, 2, 2, 1, 1});
}

NonStandardMode NumberedMode(uint32_t i) {
    CustomTiming timing = NumberedTiming(i);
    return ModeEntry(static_cast<uint16_t>(timing.width), static_cast<uint16_t>(timing.height), 0,
                     static_cast<uint16_t>(timing.refresh));
}

NonStandardMode ModeEntry(uint16_t width, uint16_t height, uint16_t reserved, uint16_t refresh) {
    NonStandardMode mode;
    mode.width = width;
    mode.height = height;
    mode.reserved = reserved;
    mode.refresh = refresh;
    return mode;
}

std::vector<uint8_t> StoredBytes(const TimingBlock& block) {
    std::vector<uint8_t> bytes(TimingStoredSize);
    EncodeTimingBlock(block, bytes.data());
    return bytes;
}

std::vector<uint8_t> StoredBytes(const CustomTiming& timing) {
    return StoredBytes(timing.block);
}

std::vector<uint8_t> ModeListBytes(const std::vector<NonStandardMode>& modes) {
    std::vector<uint8_t> bytes(modes.size() * ModeStoredSize);
    for (size_t i = 0; i < modes.size(); ++i)
        EncodeModeEntry(modes[i], &bytes[i * ModeStoredSize]);
    return bytes;
}

std::vector<NonStandardMode> Entries(NonStandardModeList& list) {
    std::vector<NonStandardMode> entries;
    for (NonStandardMode* mode = list.FirstMode(); mode; mode = list.NextMode())
        entries.push_back(*mode);
    return entries;
}

std::string ModeKey(const CustomTiming& timing) {
    return std::to_string(timing.width) + "x" + std::to_string(timing.height) + "@" +
           std::to_string(timing.refresh);
}

std::vector<std::string> ModeStrings(NonStandardModeList& list) {
    std::vector<std::string> strings;
    for (NonStandardMode* m = list.FirstMode(); m; m = list.NextMode())
        strings.push_back(std::to_string(m->width) + "x" + std::to_string(m->height) + "/" +
                          std::to_string(m->reserved) + "@" + std::to_string(m->refresh));
    return strings;
}

int SameTiming(const CustomTiming& a, const CustomTiming& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

int SameMode(const NonStandardMode& a, const NonStandardMode& b) {
    return a.width == b.width && a.height == b.height && a.reserved == b.reserved &&
           a.refresh == b.refresh;
}

int SameValueName(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return 0;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(b[i])))
            return 0;
    return 1;
}
