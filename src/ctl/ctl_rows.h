// A stored timing as the console prints it (ctl_rows.cpp): its mode key, its figures and its row
// in the table that list, add and fit print.
#pragma once

#include "ctl/ctl_printer.h"
#include "formats/raster.h"
#include "store/timing.h"

#include <cstdint>

// Writes a mode key as "800x600@75".
void PrintModeKey(CtlPrinter& printer, uint32_t width, uint32_t height, uint32_t refresh);

// The list's header and one row for a timing, as `list` and `add` print them.
void PrintTimingHeader(CtlPrinter& printer);
void PrintTimingRow(CtlPrinter& printer, const CustomTiming& timing, int valid);

// The figures of a stored timing (clock, horizontal and vertical frequency in hundredths).
// 1 when all three are defined (no total is 0).
int TimingFigures(const TimingBlock& block, RasterFigures* figures);

// "800x600@75" into text.
void FormatModeKey(const CustomTiming& t, char (&text)[40]);

// The flags as words, in the order +hsync/-hsync, +vsync/-vsync, interlace, doublescan.
void FormatFlags(uint32_t flags, char (&text)[48]);
