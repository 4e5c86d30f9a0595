// X modelines, read and written.
//
// Form read (words separated by spaces or tabs, case ignored in keywords and flags):
//   [Modeline] [name] clock hdisp hsyncstart hsyncend htotal vdisp vsyncstart vsyncend vtotal
//   [flag ...]
//   name   "quoted" (no quote inside), or one bare word that is not a number; at most 63 bytes
//   clock  MHz: decimal digits, optionally a point and at most six more digits (to the hertz);
//          the whole megahertz must fit 32 bits
//   the eight numbers: decimal digits, each fitting 32 bits
//   flags  +hsync -hsync +vsync -vsync interlace doublescan, each at most once, one polarity
//          of a sync at most
// The raster must then pass CheckRaster. Anything else (a missing number, a sign, a letter in a
// number, a zero byte, any other flag) is refused with a reason and the byte offset where it lies.
//
// Form written:
//   Modeline "name" clock hdisp hsyncstart hsyncend htotal vdisp vsyncstart vsyncend vtotal flags
// with the clock in MHz to at least two decimals (more only when the hertz need them) and the
// flags in the order interlace, doublescan, hsync, vsync.
#pragma once

#include "formats/raster.h"

#include <cstddef>
#include <cstdint>

const size_t ModelineNameSize = 64; // with its zero

struct Modeline {
    char name[ModelineNameSize]; // empty when the text had none
    Raster raster;
};

struct ModelineError {
    const char* reason;
    size_t offset; // byte offset in the text where the fault was found
};

// Parses `length` bytes of text. 1 and the modeline; 0 with the reason and offset in *error
// (when not null; the offset is 0 when CheckRaster refuses the numbers together), *modeline
// untouched.
int ParseModeline(const char* text, size_t length, Modeline* modeline, ModelineError* error);

// Writes the modeline as one line without a line end into out (size bytes, with its zero).
// 0 when it does not fit, or when the name holds a quote or a control character.
int FormatModeline(const Modeline& modeline, char* out, size_t size);
