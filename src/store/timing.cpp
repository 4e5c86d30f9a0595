#include "store/timing.h"

uint32_t ComputeTimingChecksum(const uint32_t words[TimingWordCount]) {
    uint32_t s = 0;
    for (uint32_t i = 0; i < TimingWordCount; ++i)
        s += words[i]; // the carry out of bit 31 is dropped on purpose
    uint32_t t = (s >> 16) + (s & 0xFFFF);
    uint32_t u = t + (t >> 16);
    return ~u & 0xFFFF;
}

namespace {

uint8_t PackDigits(uint32_t high, uint32_t low) { return static_cast<uint8_t>((high << 4) | low); }

uint32_t ByteNumber(uint8_t b) { return (b >> 4) * 10u + (b & 0xFu); }

} // namespace

void EncodeTimingBlock(const TimingBlock& block, uint8_t out[TimingStoredSize]) {
    for (uint32_t i = 0; i < TimingWordCount; ++i) {
        uint32_t w = block.words[i];
        uint8_t* p = out + 4 * i;
        p[0] = PackDigits((w / 10000000u) & 0xF, (w / 1000000u) % 10);
        p[1] = PackDigits((w % 1000000u) / 100000u, ((w % 1000000u) / 10000u) % 10);
        p[2] = PackDigits((w % 10000u) / 1000u, ((w % 10000u) / 100u) % 10);
        p[3] = PackDigits((w % 100u) / 10u, w % 10);
    }
    uint32_t sum = block.words[TimingChecksumWord];
    out[64] = static_cast<uint8_t>(sum >> 24);
    out[65] = static_cast<uint8_t>(sum >> 16);
    out[66] = static_cast<uint8_t>(sum >> 8);
    out[67] = static_cast<uint8_t>(sum);
}

int DecodeTimingBlock(const uint8_t* bytes, TimingBlock* block) {
    if (!bytes || !block)
        return 0;
    for (uint32_t i = 0; i < TimingWordCount; ++i) {
        const uint8_t* p = bytes + 4 * i;
        block->words[i] = ByteNumber(p[0]) * 1000000u + ByteNumber(p[1]) * 10000u +
                          ByteNumber(p[2]) * 100u + ByteNumber(p[3]);
    }
    block->words[TimingChecksumWord] = (uint32_t(bytes[64]) << 24) | (uint32_t(bytes[65]) << 16) |
                                       (uint32_t(bytes[66]) << 8) | uint32_t(bytes[67]);
    return 1;
}
