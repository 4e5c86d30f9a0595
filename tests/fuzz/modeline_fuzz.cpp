// The X modeline parser over any bytes.
//
// Laws: a refusal names a reason and an offset inside the text; an accepted modeline passes
// CheckRaster, formats, and its text parses back to the same modeline and formats the same; it
// becomes stored timing words exactly when its numbers fit the stored form, and those words come
// back as the same raster with the clock in whole 10 kHz and both polarities explicit; its
// figures are computed without fault.
#include "formats/modeline.h"
#include "fuzz/fuzz_support.h"

#include <cstring>

namespace {

int Same(const Raster& a, const Raster& b) {
    return a.hDisplay == b.hDisplay && a.hSyncStart == b.hSyncStart && a.hSyncEnd == b.hSyncEnd &&
           a.hTotal == b.hTotal && a.vDisplay == b.vDisplay && a.vSyncStart == b.vSyncStart &&
           a.vSyncEnd == b.vSyncEnd && a.vTotal == b.vTotal && a.clockHz == b.clockHz &&
           a.flags == b.flags;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096)
        return 0;
    const char* text = reinterpret_cast<const char*>(data);
    Modeline m{};
    ModelineError error{nullptr, 0};
    if (!ParseModeline(text, size, &m, &error)) {
        FUZZ_CHECK(error.reason != nullptr && error.offset <= size);
        return 0;
    }
    FUZZ_CHECK(CheckRaster(m.raster, nullptr) == 1);
    FUZZ_CHECK(std::strlen(m.name) < ModelineNameSize);

    char formatted[256];
    FUZZ_CHECK(FormatModeline(m, formatted, sizeof formatted) == 1);
    Modeline back{};
    FUZZ_CHECK(ParseModeline(formatted, std::strlen(formatted), &back, &error) == 1);
    FUZZ_CHECK(std::strcmp(m.name, back.name) == 0 && Same(m.raster, back.raster));
    char again[256];
    FUZZ_CHECK(FormatModeline(back, again, sizeof again) == 1);
    FUZZ_CHECK(std::strcmp(formatted, again) == 0);

    const Raster& r = m.raster;
    const uint64_t clock = ClockTo10kHz(r.clockHz);
    const int fits = clock > 0 && clock < TimingWordLimit && r.hTotal < TimingWordLimit &&
                     r.vTotal < TimingWordLimit;
    TimingBlock block{};
    FUZZ_CHECK(RasterToTimingBlock(r, &block, nullptr) == fits);
    if (fits) {
        FUZZ_CHECK(block.words[TimingChecksumWord] == ComputeTimingChecksum(block.words));
        Raster stored{};
        FUZZ_CHECK(TimingBlockToRaster(block, &stored) == 1);
        Raster want = r;
        want.clockHz = clock * 10000;
        if (!(want.flags & RasterHSyncNegative))
            want.flags |= RasterHSyncPositive;
        if (!(want.flags & RasterVSyncNegative))
            want.flags |= RasterVSyncPositive;
        FUZZ_CHECK(Same(want, stored));
    }
    RasterFigures figures{};
    FUZZ_CHECK(ComputeRasterFigures(r, &figures) == 1);
    FUZZ_CHECK(figures.clockMHz100 == (r.clockHz + 5000) / 10000);
    return 0;
}
