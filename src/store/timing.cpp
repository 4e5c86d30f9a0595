#include "store/timing.h"

#include "store/coding.h"

uint32_t ComputeTimingChecksum(const uint32_t words[TimingWordCount]) {
    return FoldChecksum(words, TimingWordCount);
}

int TimingChecksumHolds(const TimingBlock& block) {
    return ComputeTimingChecksum(block.words) == block.words[TimingChecksumWord];
}

int TimingWordsReadBack(const TimingBlock& block) {
    for (uint32_t i = 0; i < TimingWordCount; ++i)
        if (block.words[i] >= TimingWordLimit)
            return 0;
    return 1;
}

void EncodeTimingBlock(const TimingBlock& block, uint8_t out[TimingStoredSize]) {
    for (uint32_t i = 0; i < TimingWordCount; ++i)
        EncodeBcd8(out + 4 * i, block.words[i]);
    EncodeFixed32BE(out + 4 * TimingWordCount, block.words[TimingChecksumWord]);
}

int DecodeTimingBlock(const uint8_t* bytes, TimingBlock* block) {
    if (!bytes || !block)
        return 0;
    for (uint32_t i = 0; i < TimingWordCount; ++i)
        block->words[i] = DecodeBcd8(bytes + 4 * i);
    block->words[TimingChecksumWord] = DecodeFixed32BE(bytes + 4 * TimingWordCount);
    return 1;
}
