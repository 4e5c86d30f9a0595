// The stored form of a timing: any 0 to 300 bytes are read as the store reads a value (missing
// bytes as 0, the first 68 used), decoded, encoded again and decoded again.
//
// Laws: decoding rejects nothing and gives words of at most 166,666,665; a word below
// 160,000,000 comes back unchanged and is written as decimal digits (only a word's top nibble
// may exceed 9), and bytes that were already such digits are written back as they were; the
// checksum word comes back unchanged; the computed checksum stays the same exactly when every
// word is below 160,000,000, so a word that the stored form cannot carry never passes the
// checksum after a rewrite. The input read as seventeen raw words also comes back from encode
// and decode as each word mod 160,000,000.
#include "fuzz/fuzz_support.h"
#include "store/timing.h"

#include <cstring>

namespace {

int Nibble(const uint8_t* bytes, uint32_t n) {
    return n % 2 ? bytes[n / 2] & 0xF : bytes[n / 2] >> 4;
}

// 1 when the four bytes of a word are digits everywhere but (possibly) its top nibble.
int DigitsBelowTop(const uint8_t* word) {
    for (uint32_t n = 1; n < 8; ++n)
        if (Nibble(word, n) > 9)
            return 0;
    return 1;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 300)
        return 0;
    uint8_t stored[TimingStoredSize] = {};
    std::memcpy(stored, data, size < TimingStoredSize ? size : TimingStoredSize);

    TimingBlock block;
    FUZZ_CHECK(DecodeTimingBlock(stored, &block) == 1);
    const uint32_t sum = ComputeTimingChecksum(block.words);
    FUZZ_CHECK(sum <= 0xFFFF);

    uint8_t again[TimingStoredSize];
    EncodeTimingBlock(block, again);
    TimingBlock back;
    FUZZ_CHECK(DecodeTimingBlock(again, &back) == 1);

    int lossy = 0;
    for (uint32_t i = 0; i < TimingWordCount; ++i) {
        const uint32_t w = block.words[i];
        FUZZ_CHECK(w <= 166666665u);
        FUZZ_CHECK(back.words[i] == w % TimingWordLimit);
        FUZZ_CHECK(DigitsBelowTop(again + 4 * i));
        if (w >= TimingWordLimit)
            lossy = 1;
        else if (DigitsBelowTop(stored + 4 * i))
            FUZZ_CHECK(std::memcmp(again + 4 * i, stored + 4 * i, 4) == 0);
    }
    FUZZ_CHECK(std::memcmp(again + 64, stored + 64, 4) == 0);
    FUZZ_CHECK(back.words[TimingChecksumWord] == block.words[TimingChecksumWord]);
    if (lossy)
        FUZZ_CHECK(ComputeTimingChecksum(back.words) != sum);
    else
        FUZZ_CHECK(ComputeTimingChecksum(back.words) == sum);

    TimingBlock raw;
    std::memcpy(raw.words, stored, sizeof raw.words);
    EncodeTimingBlock(raw, again);
    FUZZ_CHECK(DecodeTimingBlock(again, &back) == 1);
    for (uint32_t i = 0; i < TimingWordCount; ++i)
        FUZZ_CHECK(back.words[i] == raw.words[i] % TimingWordLimit);
    FUZZ_CHECK(back.words[TimingChecksumWord] == raw.words[TimingChecksumWord]);
    return 0;
}
