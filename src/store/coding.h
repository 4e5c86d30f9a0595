// The stored forms of numbers, in one place, each as an Encode/Decode pair that writes or reads a
// fixed number of bytes at a pointer and checks nothing.
//
//   Bcd8     a 32-bit word as eight packed BCD digits in four bytes, most significant first:
//            (ten-millions | millions), (hundred-thousands | ten-thousands), (thousands |
//            hundreds), (tens | units). Only the top nibble can leave the range of a digit: it
//            keeps the low four bits of word / 10,000,000, so a word w reads back as
//            w mod 160,000,000. The timing words of a timing value.
//   Bcd4     a 16-bit field as four packed BCD digits in two bytes, most significant first:
//            (thousands | hundreds), (tens | units). Only the top nibble can leave the range of a
//            digit (it keeps the low four bits of field / 1,000), so a field f reads back as
//            f mod 16,000. The fields of a mode list entry.
//   Fixed32  a 32-bit number in four bytes, little-endian (least significant first, as a
//            REG_DWORD is stored) or big-endian (the checksum word of a timing value).
//   Checksum the ones'-complement fold of a 32-bit sum to 16 bits, complemented: the sum's high
//            and low halves are added, the carry out of that added back, and the low 16 bits of
//            the result inverted. The caller sums, dropping the carry out of bit 31.
//
// Every decoder takes each nibble at its face value (0 to 15) and rejects nothing.
#pragma once

#include <cstdint>

// The first word that Bcd8 cannot give back, and the first field that Bcd4 cannot.
const uint32_t Bcd8Limit = 160000000;
const uint32_t Bcd4Limit = 16000;

void EncodeBcd8(uint8_t* dst, uint32_t value);
uint32_t DecodeBcd8(const uint8_t* src);

void EncodeBcd4(uint8_t* dst, uint16_t value);
uint16_t DecodeBcd4(const uint8_t* src);

// The Fixed32 pairs are inline, so that what reads a REG_DWORD without linking the store (the
// simulated display services) can use them.
inline void EncodeFixed32LE(uint8_t* dst, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        dst[i] = static_cast<uint8_t>(value >> (8 * i));
}

inline uint32_t DecodeFixed32LE(const uint8_t* src) {
    return static_cast<uint32_t>(src[0]) | static_cast<uint32_t>(src[1]) << 8 |
           static_cast<uint32_t>(src[2]) << 16 | static_cast<uint32_t>(src[3]) << 24;
}

inline void EncodeFixed32BE(uint8_t* dst, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        dst[i] = static_cast<uint8_t>(value >> (24 - 8 * i));
}

inline uint32_t DecodeFixed32BE(const uint8_t* src) {
    return static_cast<uint32_t>(src[0]) << 24 | static_cast<uint32_t>(src[1]) << 16 |
           static_cast<uint32_t>(src[2]) << 8 | static_cast<uint32_t>(src[3]);
}

// The 16-bit check value of `count` words: their 32-bit sum (the carry out of bit 31 dropped),
// folded as above.
uint32_t FoldChecksum(const uint32_t* words, uint32_t count);
