#include "store/timing.h"
#include "support/builders.h"

#include <gtest/gtest.h>

#include <vector>

TEST(Timing, DecodeRefusesMissingPointers) {
    uint8_t bytes[TimingStoredSize] = {};
    TimingBlock block{};
    EXPECT_EQ(0, DecodeTimingBlock(nullptr, &block));
    EXPECT_EQ(0, DecodeTimingBlock(bytes, nullptr));
}

TEST(Timing, OversizedWordsBreakTheChecksumAfterRoundTrip) {
    // A word of 160,000,000 or more comes back smaller, so the stored checksum no longer matches
    // and the record would be dropped at the next load.
    TimingBlock block = BlockOf({12, 800, 640, 160000123u});
    block.words[TimingChecksumWord] = ComputeTimingChecksum(block.words);
    uint8_t out[TimingStoredSize];
    EncodeTimingBlock(block, out);
    TimingBlock back{};
    DecodeTimingBlock(out, &back);
    EXPECT_EQ(123u, back.words[3]);
    EXPECT_NE(back.words[TimingChecksumWord], ComputeTimingChecksum(back.words));
}
