// One custom display mode and the stored form of its timing.
//
// Stored form of a TimingBlock (the data of one timing value, 68 bytes):
//   bytes 4i..4i+3, i = 0..15   word i as eight packed BCD digits, most significant first
//                               (byte 4i: ten-millions | millions, ... byte 4i+3: tens | units)
//   bytes 64..67                word 16, the checksum, as a big-endian 32-bit binary number
// Only the top nibble of a word can leave the range of a digit: it keeps the low four bits of
// word / 10,000,000, so a word w comes back from encode and decode as w mod 160,000,000.
// Decoding takes every nibble at its face value (0 to 15) and rejects nothing.
#pragma once

#include <cstdint>

const uint32_t TimingStoredSize = 68;
const uint32_t TimingWordCount = 16; // words 0..15 are stored as BCD and summed by the checksum
// The first timing word that its stored form cannot give back (it reads back 160,000,000 less).
const uint32_t TimingWordLimit = 160000000;

// Word indexes of a TimingBlock.
enum TimingWord {
    TimingFlagsWord = 0,
    HorizontalTotal = 1,
    HorizontalDisplay = 2,
    HorizontalSyncStart = 3,
    HorizontalSyncWidth = 4,
    VerticalTotal = 5,
    VerticalDisplay = 6,
    VerticalSyncStart = 7,
    VerticalSyncWidth = 8,
    PixelClock = 9, // in units of 10 kHz
    HorizontalOverscanRight = 10,
    HorizontalOverscanLeft = 11,
    VerticalOverscanTop = 12,
    VerticalOverscanBottom = 13,
    OverscanBlue = 14,
    OverscanGreenRed = 15,
    TimingChecksumWord = 16
};

// Bits of the flags word.
enum TimingFlags { DoubleScan = 1, Interlaced = 2, HSyncNegative = 4, VSyncNegative = 8 };

struct TimingBlock {
    uint32_t words[17];
};

// Width, height and refresh form the mode key; they are carried by the value's name, not by its
// data, and are not covered by the checksum.
struct CustomTiming {
    uint32_t width;
    uint32_t height;
    uint32_t refresh;
    TimingBlock block;
};

// The check value of words 0 to 15: a ones'-complement fold of their 32-bit sum to 16 bits.
uint32_t ComputeTimingChecksum(const uint32_t words[TimingWordCount]);

// Writes the 68-byte stored form of all seventeen words; word 16 is stored as it is.
void EncodeTimingBlock(const TimingBlock& block, uint8_t out[TimingStoredSize]);

// Fills all seventeen words from 68 stored bytes. 0 when either pointer is missing, else 1; the
// checksum is not tested here.
int DecodeTimingBlock(const uint8_t* bytes, TimingBlock* block);
