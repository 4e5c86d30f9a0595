#include "ctl/ctl_rows.h"

#include <cstdio>

namespace {

// A figure with two decimals, or "-" when it is not defined.
void FormatFigure(uint64_t hundredths, int defined, char (&text)[32]) {
    if (!defined || !FormatHundredths(hundredths, text, sizeof text))
        std::snprintf(text, sizeof text, "-");
}

const char RowFormat[] = "%-14s %5s %5s %6s %6s %5s %5s %6s %6s %10s %10s %9s  %s";

} // namespace

void FormatModeKey(const CustomTiming& t, char (&text)[40]) {
    std::snprintf(text, sizeof text, "%ux%u@%u", static_cast<unsigned>(t.width),
                  static_cast<unsigned>(t.height), static_cast<unsigned>(t.refresh));
}

void FormatFlags(uint32_t flags, char (&text)[48]) {
    std::snprintf(text, sizeof text, "%s %s%s%s", flags & HSyncNegative ? "-hsync" : "+hsync",
                  flags & VSyncNegative ? "-vsync" : "+vsync",
                  flags & Interlaced ? " interlace" : "", flags & DoubleScan ? " doublescan" : "");
}

int TimingFigures(const TimingBlock& block, RasterFigures* figures) {
    Raster raster{};
    raster.hTotal = block.words[HorizontalTotal];
    raster.vTotal = block.words[VerticalTotal];
    raster.clockHz = static_cast<uint64_t>(block.words[PixelClock]) * 10000;
    const uint32_t flags = block.words[TimingFlagsWord];
    raster.flags =
        (flags & Interlaced ? RasterInterlace : 0) | (flags & DoubleScan ? RasterDoubleScan : 0);
    return ComputeRasterFigures(raster, figures);
}

void PrintModeKey(CtlPrinter& printer, uint32_t width, uint32_t height, uint32_t refresh) {
    printer.Number(width);
    printer.Text("x");
    printer.Number(height);
    printer.Text("@");
    printer.Number(refresh);
}

void PrintTimingHeader(CtlPrinter& printer) {
    printer.Format(RowFormat, "mode", "hdisp", "hsync", "hwidth", "htotal", "vdisp", "vsync",
                   "vwidth", "vtotal", "clock MHz", "hfreq kHz", "vfreq Hz", "flags");
    printer.EndLine();
}

void PrintTimingRow(CtlPrinter& printer, const CustomTiming& t, int valid) {
    char key[40];
    char flags[48];
    char numbers[8][12];
    char clock[32], hFreq[32], vFreq[32];
    FormatModeKey(t, key);
    FormatFlags(t.block.words[TimingFlagsWord], flags);
    const TimingWord order[8] = {HorizontalDisplay, HorizontalSyncStart, HorizontalSyncWidth,
                                 HorizontalTotal,   VerticalDisplay,     VerticalSyncStart,
                                 VerticalSyncWidth, VerticalTotal};
    for (int i = 0; i < 8; ++i)
        std::snprintf(numbers[i], sizeof numbers[i], "%u",
                      static_cast<unsigned>(t.block.words[order[i]]));
    RasterFigures figures;
    TimingFigures(t.block, &figures);
    FormatFigure(figures.clockMHz100, 1, clock);
    FormatFigure(figures.hFreqKHz100, t.block.words[HorizontalTotal] != 0, hFreq);
    FormatFigure(figures.vFreqHz100,
                 t.block.words[HorizontalTotal] != 0 && t.block.words[VerticalTotal] != 0, vFreq);
    printer.Format(RowFormat, key, numbers[0], numbers[1], numbers[2], numbers[3], numbers[4],
                   numbers[5], numbers[6], numbers[7], clock, hFreq, vFreq, flags);
    if (!valid)
        printer.Text("  checksum fails: the next load drops it");
    printer.EndLine();
}
