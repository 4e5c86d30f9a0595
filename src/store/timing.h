// One custom display mode and the stored form of its timing.
//
// Stored form of a TimingBlock (the data of one timing value, 68 bytes; the codecs are those of
// store/coding.h):
//   bytes 4i..4i+3, i = 0..15   word i as Bcd8, so a word w comes back as w mod 160,000,000
//   bytes 64..67                word 16, the checksum, as Fixed32 big-endian
#pragma once

#include "store/coding.h"

#include <cstdint>

const uint32_t TimingStoredSize = 68;
const uint32_t TimingWordCount = 16; // words 0..15 are stored as BCD and summed by the checksum
// The first timing word that its stored form cannot give back (it reads back 160,000,000 less).
const uint32_t TimingWordLimit = Bcd8Limit;

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

// The check value of words 0 to 15: FoldChecksum of their 32-bit sum.
uint32_t ComputeTimingChecksum(const uint32_t words[TimingWordCount]);

// 1 when the checksum word equals the check value of the other words, else 0.
int TimingChecksumHolds(const TimingBlock& block);

// 1 when every word 0 to 15 is below TimingWordLimit, so that its stored form gives it back.
int TimingWordsReadBack(const TimingBlock& block);

// Writes the 68-byte stored form of all seventeen words; word 16 is stored as it is.
void EncodeTimingBlock(const TimingBlock& block, uint8_t out[TimingStoredSize]);

// Fills all seventeen words from 68 stored bytes. 0 when either pointer is missing, else 1; the
// checksum is not tested here.
int DecodeTimingBlock(const uint8_t* bytes, TimingBlock* block);
