// A monitor's EDID, its 128-byte base block as read over DDC: identification, the timings it
// lists and its display range limits. Portable: it reads bytes and knows nothing of where they
// were kept.
//
// Base block, by byte:
//   0..7    header 00 FF FF FF FF FF FF 00
//   8..9    manufacturer, three letters of 5 bits ('A' = 1), big-endian
//   10..11  product code, little-endian      12..15 serial number, little-endian
//   16      week of manufacture              17     year - 1990
//   18, 19  version, revision
//   35..37  established timings (17 bits, see EdidEstablishedModes)
//   38..53  eight standard timings of two bytes (01 01 unused)
//   54..125 four 18-byte descriptors: a detailed timing when its first two bytes are not 0,
//           otherwise a descriptor whose byte 3 is its tag (0xFC name, 0xFF serial text,
//           0xFD display range limits)
//   127     checksum: the 128 bytes add up to 0 modulo 256
// Range limits descriptor, by byte of the descriptor:
//   4  offsets (revision 4 and later): bits 1..0 for the vertical rates, 3..2 for the horizontal,
//      each pair 10 to add 255 to the maximum, 11 to both; 00 none, 01 reserved (read as none)
//   5, 6 vertical rates in Hz; 7, 8 horizontal rates in kHz; 9 maximum pixel clock in 10 MHz
//   10 0 default GTF, 1 range limits only, 2 secondary GTF curve, 4 CVT
//   11..17 with 2: 11 reserved, 12 start frequency / 2 kHz, 13 C x 2, 14..15 M little-endian,
//          16 K, 17 J x 2
//          with 4: 11 CVT version (major in the high nibble), 12 bits 7..2 steps of 0.25 MHz to
//          take from the maximum pixel clock and bits 1..0 the high bits of 13, 13 maximum active
//          pixels per line / 8 (0: no limit), 14 aspect ratios, 15 preferred aspect ratio and
//          blanking support, 16 scaling support, 17 preferred refresh in Hz
#pragma once

#include "formats/raster.h"

#include <cstddef>
#include <cstdint>

const size_t EdidBlockSize = 128;
const size_t EdidTextSize = 14; // up to 13 bytes and a zero
const uint32_t EdidDetailedSlots = 4;
const uint32_t EdidStandardSlots = 8;
const uint32_t EdidEstablishedCount = 17;

enum EdidRangeKind { EdidDefaultGtf = 0, EdidRangeOnly = 1, EdidSecondaryGtf = 2, EdidCvt = 4 };

struct EdidRangeLimits {
    int present;
    uint32_t vMinHz, vMaxHz;   // offsets applied
    uint32_t hMinKHz, hMaxKHz; // offsets applied
    uint32_t maxClockMHz;      // byte 9 x 10
    uint32_t maxClockKHz;      // the finer figure with CVT, else maxClockMHz x 1000
    uint32_t kind;             // byte 10 as stored (EdidRangeKind, or another value)
    // Secondary GTF curve (kind 2), as stored: start in kHz, C and J doubled.
    uint32_t gtfStartKHz, gtfC2, gtfM, gtfK, gtfJ2;
    // CVT (kind 4).
    uint32_t cvtMajor, cvtMinor;
    uint32_t cvtMaxActivePixels; // 0: no limit
    uint32_t cvtAspects;         // byte 14
    uint32_t cvtBlanking;        // byte 15
    uint32_t cvtScaling;         // byte 16
    uint32_t cvtPreferredHz;     // byte 17
};

// A detailed timing as stored (18 bytes), and the raster it describes.
struct EdidDetailedTiming {
    uint32_t clock10kHz;
    uint32_t hActive, hBlank, hSyncOffset, hSyncWidth;
    uint32_t vActive, vBlank, vSyncOffset, vSyncWidth;
    uint32_t hSizeMm, vSizeMm;
    uint32_t features; // byte 17
    // The frame: for an interlaced timing (bit 7) the vertical figures are the field's doubled,
    // the total's half line added. Polarities given only for separate digital sync.
    Raster raster;
};

struct EdidMode {
    uint32_t width, height, refresh;
    int interlaced;
};

struct EdidInfo {
    char manufacturer[4];
    uint32_t product;
    uint32_t serialNumber;
    uint32_t week, year;
    uint32_t version, revision;
    char name[EdidTextSize];   // descriptor 0xFC, bytes as stored up to the line end; may be empty
    char serial[EdidTextSize]; // descriptor 0xFF
    EdidRangeLimits range;
    EdidDetailedTiming detailed[EdidDetailedSlots];
    uint32_t detailedCount; // in block order; the first is the preferred timing
    uint32_t established;   // bit i: EdidEstablishedModes[i] (bit 0 = byte 35 bit 7)
    EdidMode standard[EdidStandardSlots];
    uint32_t standardCount;
};

// The established timings in bit order.
extern const EdidMode EdidEstablishedModes[EdidEstablishedCount];

// Reads the base block of `length` bytes (extension blocks after it are not read). 1 and *info
// filled; 0 for fewer than 128 bytes, a bad header or a bad checksum, with *reason (when not
// null) saying which and *info emptied. Never reads past `length`.
int ReadEdid(const uint8_t* data, size_t length, EdidInfo* info, const char** reason);
