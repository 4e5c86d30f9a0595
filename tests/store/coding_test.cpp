// The stored forms to the byte: each codec at its boundaries, and the layout of a whole timing
// value, checksum included.
#include "store/coding.h"
#include "store/timing.h"
#include "support/builders.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

TEST(Coding, ChecksumWorkedValues) {
    struct Case {
        std::vector<uint32_t> words;
        uint32_t expected;
    } cases[] = {
        {{}, 0xFFFF},
        {{12, 800, 640, 656, 96, 525, 480, 490, 2, 2518}, 0xE7B4},
        {{305419896u}, 0x9753},
        {{65535, 1}, 0xFFFE},
        {{4294967295u}, 0x0000},
        {{2147549183u, 2147549183u}, 0x0000}, // the carry out of bit 31 is dropped
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected, ComputeTimingChecksum(BlockOf(c.words).words));
        EXPECT_EQ(c.expected, FoldChecksum(c.words.data(), static_cast<uint32_t>(c.words.size())));
    }
}

TEST(Coding, TimingWorkedExampleBytes) {
    TimingBlock block = BlockOf({12, 800, 640, 656, 96, 525, 480, 490, 2, 2518});
    block.words[TimingChecksumWord] = ComputeTimingChecksum(block.words);
    uint8_t out[TimingStoredSize];
    EncodeTimingBlock(block, out);
    const uint8_t expected[TimingStoredSize] = {
        0x00, 0x00, 0x00, 0x12, 0x00, 0x00, 0x08, 0x00, 0x00, 0x00, 0x06, 0x40, 0x00, 0x00,
        0x06, 0x56, 0x00, 0x00, 0x00, 0x96, 0x00, 0x00, 0x05, 0x25, 0x00, 0x00, 0x04, 0x80,
        0x00, 0x00, 0x04, 0x90, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x25, 0x18, 0,    0,
        0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,
        0,    0,    0,    0,    0,    0,    0,    0,    0x00, 0x00, 0xE7, 0xB4};
    EXPECT_EQ(0, std::memcmp(expected, out, TimingStoredSize));

    TimingBlock back{};
    ASSERT_EQ(1, DecodeTimingBlock(out, &back));
    EXPECT_EQ(0, std::memcmp(&block, &back, sizeof block));
}

TEST(Coding, AllZeroTimingStoresChecksumFFFF) {
    TimingBlock block{};
    block.words[TimingChecksumWord] = ComputeTimingChecksum(block.words);
    uint8_t out[TimingStoredSize];
    EncodeTimingBlock(block, out);
    for (int i = 0; i < 64; ++i)
        ASSERT_EQ(0, out[i]) << i;
    EXPECT_EQ(0x00, out[64]);
    EXPECT_EQ(0x00, out[65]);
    EXPECT_EQ(0xFF, out[66]);
    EXPECT_EQ(0xFF, out[67]);
}

TEST(Coding, Bcd8Boundaries) {
    struct Case {
        uint32_t word;
        uint8_t bytes[4];
        uint32_t readBack;
    } cases[] = {
        {12345678u, {0x12, 0x34, 0x56, 0x78}, 12345678u},
        {99999999u, {0x99, 0x99, 0x99, 0x99}, 99999999u},
        {100000000u, {0xA0, 0x00, 0x00, 0x00}, 100000000u},
        {159999999u, {0xF9, 0x99, 0x99, 0x99}, 159999999u},
        {160000000u, {0x00, 0x00, 0x00, 0x00}, 0u},
        {4294967295u, {0xD4, 0x96, 0x72, 0x95}, 134967295u},
    };
    for (const Case& c : cases) {
        uint8_t bytes[4];
        EncodeBcd8(bytes, c.word);
        EXPECT_EQ(c.readBack, DecodeBcd8(bytes)) << c.word;
        EXPECT_EQ(0, std::memcmp(c.bytes, bytes, 4)) << c.word;
    }
}

TEST(Coding, TimingDecodeTakesNibblesAtFaceValue) {
    uint8_t bytes[TimingStoredSize];
    std::memset(bytes, 0xFF, sizeof bytes);
    TimingBlock block{};
    ASSERT_EQ(1, DecodeTimingBlock(bytes, &block));
    for (uint32_t i = 0; i < TimingWordCount; ++i)
        EXPECT_EQ(166666665u, block.words[i]);
    // Bytes 64 and 65 not zero give a checksum word that no computed checksum can equal.
    EXPECT_EQ(0xFFFFFFFFu, block.words[TimingChecksumWord]);
    EXPECT_NE(block.words[TimingChecksumWord], ComputeTimingChecksum(block.words));
}

TEST(Coding, Bcd4Boundaries) {
    struct Case {
        uint16_t field;
        uint8_t stored[2];
        uint16_t readBack;
    } cases[] = {
        {0, {0x00, 0x00}, 0},         {9999, {0x99, 0x99}, 9999}, {10000, {0xA0, 0x00}, 10000},
        {15999, {0xF9, 0x99}, 15999}, {16000, {0x00, 0x00}, 0},   {65535, {0x15, 0x35}, 1535},
        {1234, {0x12, 0x34}, 1234},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.field);
        uint8_t out[2];
        EncodeBcd4(out, c.field);
        EXPECT_EQ(c.stored[0], out[0]);
        EXPECT_EQ(c.stored[1], out[1]);
        EXPECT_EQ(c.readBack, DecodeBcd4(out));
    }
    const uint8_t all[2] = {0xFF, 0xFF};
    EXPECT_EQ(16665, DecodeBcd4(all)); // nibbles at face value, nothing rejected
}
