#include "store/coding.h"

namespace {

uint8_t PackDigits(uint32_t high, uint32_t low) {
    return static_cast<uint8_t>((high << 4) | low);
}

uint32_t ByteNumber(uint8_t b) {
    return (b >> 4) * 10u + (b & 0xFu);
}

} // namespace

void EncodeBcd8(uint8_t* dst, uint32_t value) {
    const uint32_t w = value;
    dst[0] = PackDigits((w / 10000000u) & 0xF, (w / 1000000u) % 10);
    dst[1] = PackDigits((w % 1000000u) / 100000u, ((w % 1000000u) / 10000u) % 10);
    dst[2] = PackDigits((w % 10000u) / 1000u, ((w % 10000u) / 100u) % 10);
    dst[3] = PackDigits((w % 100u) / 10u, w % 10);
}

uint32_t DecodeBcd8(const uint8_t* src) {
    return ByteNumber(src[0]) * 1000000u + ByteNumber(src[1]) * 10000u + ByteNumber(src[2]) * 100u +
           ByteNumber(src[3]);
}

void EncodeBcd4(uint8_t* dst, uint16_t value) {
    const uint32_t f = value;
    dst[0] = PackDigits((f / 1000u) & 0xFu, (f % 1000u) / 100u);
    dst[1] = PackDigits((f % 100u) / 10u, f % 10u);
}

uint16_t DecodeBcd4(const uint8_t* src) {
    return static_cast<uint16_t>(ByteNumber(src[0]) * 100u + ByteNumber(src[1]));
}

uint32_t FoldChecksum(const uint32_t* words, uint32_t count) {
    uint32_t s = 0;
    for (uint32_t i = 0; i < count; ++i)
        s += words[i]; // the carry out of bit 31 is dropped on purpose
    uint32_t t = (s >> 16) + (s & 0xFFFF);
    uint32_t u = t + (t >> 16);
    return ~u & 0xFFFF;
}
