// The EDID base block read field by field (see edid.h for the layout).
#include "formats/edid.h"

#include <cstring>

const EdidMode EdidEstablishedModes[EdidEstablishedCount] = {
    {720, 400, 70, 0},  {720, 400, 88, 0},  {640, 480, 60, 0},  {640, 480, 67, 0},
    {640, 480, 72, 0},  {640, 480, 75, 0},  {800, 600, 56, 0},  {800, 600, 60, 0},
    {800, 600, 72, 0},  {800, 600, 75, 0},  {832, 624, 75, 0},  {1024, 768, 87, 1},
    {1024, 768, 60, 0}, {1024, 768, 70, 0}, {1024, 768, 75, 0}, {1280, 1024, 75, 0},
    {1152, 870, 75, 0}};

namespace {

const uint8_t Header[8] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
const size_t DescriptorStart = 54;
const size_t DescriptorSize = 18;

uint32_t Le16(const uint8_t* p) {
    return static_cast<uint32_t>(p[0] | p[1] << 8);
}

// 1 when the block's bytes add up to 0 modulo 256.
int ChecksumHolds(const uint8_t* block) {
    uint32_t sum = 0;
    for (size_t i = 0; i < EdidBlockSize; ++i)
        sum += block[i];
    return (sum & 0xFF) == 0;
}

// Bytes 8..19: manufacturer letters, codes, date and version. A letter outside A..Z reads '?'.
void ReadIdentity(const uint8_t* b, EdidInfo* info) {
    const uint32_t packed = static_cast<uint32_t>(b[8] << 8 | b[9]);
    for (int i = 0; i < 3; ++i) {
        const uint32_t letter = packed >> (10 - 5 * i) & 0x1F;
        info->manufacturer[i] = letter >= 1 && letter <= 26 ? static_cast<char>('@' + letter) : '?';
    }
    info->manufacturer[3] = '\0';
    info->product = Le16(b + 10);
    info->serialNumber = Le16(b + 12) | Le16(b + 14) << 16;
    info->week = b[16];
    info->year = 1990u + b[17];
    info->version = b[18];
    info->revision = b[19];
}

// The text of a 0xFC, 0xFF or 0xFE descriptor: bytes 5..17 up to the line end (0x0A).
void ReadText(const uint8_t* d, char (&text)[EdidTextSize]) {
    size_t n = 0;
    while (n < 13 && d[5 + n] != 0x0A) {
        text[n] = static_cast<char>(d[5 + n]);
        ++n;
    }
    text[n] = '\0';
}

// The CVT bytes 11..17 of a range limits descriptor.
void ReadCvtFields(const uint8_t* d, EdidRangeLimits* r) {
    r->cvtMajor = d[11] >> 4;
    r->cvtMinor = d[11] & 0x0F;
    const uint32_t steps = d[12] >> 2;
    const uint32_t coarseKHz = r->maxClockMHz * 1000;
    r->maxClockKHz = coarseKHz > steps * 250 ? coarseKHz - steps * 250 : 0;
    r->cvtMaxActivePixels = 8 * (static_cast<uint32_t>(d[12] & 3) << 8 | d[13]);
    r->cvtAspects = d[14];
    r->cvtBlanking = d[15];
    r->cvtScaling = d[16];
    r->cvtPreferredHz = d[17];
}

// A 0xFD descriptor. The offsets count only from revision 4 on, where they were defined. Each
// pair of bits reads 10 for the maximum + 255, 11 for both + 255, and 00 or the reserved 01 for
// none, as edid-decode reads them: a reserved code must not throw a whole range out.
void ReadRange(const uint8_t* d, uint32_t revision, EdidRangeLimits* r) {
    const uint32_t offsets = revision >= 4 ? d[4] : 0;
    const uint32_t v = offsets & 3, h = offsets >> 2 & 3;
    r->present = 1;
    r->vMinHz = d[5] + (v == 3 ? 255u : 0u);
    r->vMaxHz = d[6] + (v & 2 ? 255u : 0u);
    r->hMinKHz = d[7] + (h == 3 ? 255u : 0u);
    r->hMaxKHz = d[8] + (h & 2 ? 255u : 0u);
    r->maxClockMHz = d[9] * 10u;
    r->maxClockKHz = r->maxClockMHz * 1000;
    r->kind = d[10];
    if (r->kind == EdidSecondaryGtf) {
        r->gtfStartKHz = d[12] * 2u;
        r->gtfC2 = d[13];
        r->gtfM = Le16(d + 14);
        r->gtfK = d[16];
        r->gtfJ2 = d[17];
    } else if (r->kind == EdidCvt) {
        ReadCvtFields(d, r);
    }
}

// The raster of a detailed timing. Sync polarities are known only for separate digital sync
// (bits 4..3 of byte 17 both set); bit 7 marks interlace. An interlaced timing stores one field;
// the raster is the frame, as X builds it from an EDID: the vertical figures doubled and the
// total given its half line (540 active of 562 make 1080 of 1125), so that its modeline, pasted
// back, is the same mode.
Raster DetailedRaster(const EdidDetailedTiming& t) {
    Raster r{};
    r.hDisplay = t.hActive;
    r.hSyncStart = t.hActive + t.hSyncOffset;
    r.hSyncEnd = r.hSyncStart + t.hSyncWidth;
    r.hTotal = t.hActive + t.hBlank;
    const uint32_t lines = t.features & 0x80 ? 2 : 1;
    r.vDisplay = t.vActive * lines;
    r.vSyncStart = (t.vActive + t.vSyncOffset) * lines;
    r.vSyncEnd = r.vSyncStart + t.vSyncWidth * lines;
    r.vTotal = (t.vActive + t.vBlank) * lines + (lines - 1);
    r.clockHz = static_cast<uint64_t>(t.clock10kHz) * 10000;
    if (t.features & 0x80)
        r.flags |= RasterInterlace;
    if ((t.features & 0x18) == 0x18) {
        r.flags |= t.features & 4 ? RasterVSyncPositive : RasterVSyncNegative;
        r.flags |= t.features & 2 ? RasterHSyncPositive : RasterHSyncNegative;
    }
    return r;
}

// An 18-byte detailed timing, its 12-bit and 6-bit fields put together.
EdidDetailedTiming ReadDetailed(const uint8_t* d) {
    EdidDetailedTiming t{};
    t.clock10kHz = Le16(d);
    t.hActive = d[2] | (d[4] >> 4) << 8;
    t.hBlank = d[3] | (d[4] & 0x0F) << 8;
    t.vActive = d[5] | (d[7] >> 4) << 8;
    t.vBlank = d[6] | (d[7] & 0x0F) << 8;
    t.hSyncOffset = d[8] | (d[11] >> 6 & 3) << 8;
    t.hSyncWidth = d[9] | (d[11] >> 4 & 3) << 8;
    t.vSyncOffset = (d[10] >> 4) | (d[11] >> 2 & 3) << 4;
    t.vSyncWidth = (d[10] & 0x0F) | (d[11] & 3) << 4;
    t.hSizeMm = d[12] | (d[14] >> 4) << 8;
    t.vSizeMm = d[13] | (d[14] & 0x0F) << 8;
    t.features = d[17];
    t.raster = DetailedRaster(t);
    return t;
}

// The four descriptors: detailed timings in order, the first name, serial text and range limits.
void ReadDescriptors(const uint8_t* b, EdidInfo* info) {
    for (uint32_t i = 0; i < EdidDetailedSlots; ++i) {
        const uint8_t* d = b + DescriptorStart + i * DescriptorSize;
        if (d[0] || d[1]) {
            info->detailed[info->detailedCount++] = ReadDetailed(d);
        } else if (d[3] == 0xFC && !info->name[0]) {
            ReadText(d, info->name);
        } else if (d[3] == 0xFF && !info->serial[0]) {
            ReadText(d, info->serial);
        } else if (d[3] == 0xFD && !info->range.present) {
            ReadRange(d, info->revision, &info->range);
        }
    }
}

// The standard timings: width (byte + 31) x 8, height from the aspect ratio (16:10 before
// revision 3 meant 1:1), refresh (bits 5..0) + 60. 00 and 01 01 mark unused slots.
void ReadStandard(const uint8_t* b, EdidInfo* info) {
    static const uint32_t ratio[4][2] = {{16, 10}, {4, 3}, {5, 4}, {16, 9}};
    for (uint32_t i = 0; i < EdidStandardSlots; ++i) {
        const uint8_t x = b[38 + 2 * i];
        const uint8_t y = b[39 + 2 * i];
        if (x == 0 || (x == 1 && y == 1))
            continue;
        EdidMode m{(x + 31u) * 8u, 0, (y & 0x3Fu) + 60u, 0};
        const uint32_t a = y >> 6;
        m.height = a == 0 && info->version == 1 && info->revision < 3
                       ? m.width
                       : m.width * ratio[a][1] / ratio[a][0];
        info->standard[info->standardCount++] = m;
    }
}

} // namespace

int ReadEdid(const uint8_t* data, size_t length, EdidInfo* info, const char** reason) {
    std::memset(info, 0, sizeof *info);
    const char* why = nullptr;
    if (!data || length < EdidBlockSize)
        why = "shorter than 128 bytes";
    else if (std::memcmp(data, Header, sizeof Header) != 0)
        why = "bad header";
    else if (!ChecksumHolds(data))
        why = "bad checksum";
    if (why) {
        if (reason)
            *reason = why;
        return 0;
    }
    ReadIdentity(data, info);
    info->established = static_cast<uint32_t>(data[35] << 9 | data[36] << 1 | data[37] >> 7);
    // Bit i of `established` is the i-th mode: byte 35 bit 7 first.
    uint32_t ordered = 0;
    for (uint32_t i = 0; i < EdidEstablishedCount; ++i)
        if (info->established >> (EdidEstablishedCount - 1 - i) & 1)
            ordered |= 1u << i;
    info->established = ordered;
    ReadStandard(data, info);
    ReadDescriptors(data, info);
    return 1;
}
