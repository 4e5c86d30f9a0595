// A monitor's limits, the figures that a timing must stay within: from its EDID's range limits or
// from the MODES values of its setup file. Every figure is in hundredths, as the console's own
// options and RasterFigures count.
//
// A setup file's mode value reads "[MinHSync-]MaxHSync[,MinVSync-MaxVSync][,polarity,polarity]"
// in kHz and Hz, such as "27.0-106.0,55.0-160.0,+,+". The numbers and ranges are read as
// formats/decimal.h reads them, widened to the hundredths around them (31.469-64.999 is
// 31.46-65.00); a polarity is "+" or "-" and tells nothing of the limits. Spaces around a field
// are allowed; anything else refuses the value.
#pragma once

#include "formats/edid.h"

#include <cstddef>
#include <cstdint>

struct MonitorLimits {
    int haveH, haveV, haveClock;
    uint64_t hMin100, hMax100; // kHz x 100
    uint64_t vMin100, vMax100; // Hz x 100
    uint64_t clock100;         // highest pixel clock, MHz x 100
};

// Where a monitor's limits came from.
enum LimitsOrigin { LimitsUnknown = 0, LimitsOfEdid, LimitsOfSetupFile };

// The limits of a monitor whose EDID is `edid` (null when there is none or it does not read) and
// whose setup file's values give `setup` (when haveSetup). An EDID that reads is the monitor's
// word, even when it states no limits; otherwise the setup file stands in, so that a monitor
// whose EDID is faulty is still guarded. The origin, LimitsUnknown with *limits empty when none.
int ChooseLimits(const EdidInfo* edid, int haveSetup, const MonitorLimits& setup,
                 MonitorLimits* limits);

// The limits of an EDID's range limits descriptor: each range whose maximum is not 0 and not
// below its minimum, and a maximum clock that is not 0. 1 when any limit is known, else 0.
int LimitsFromEdid(const EdidInfo& edid, MonitorLimits* limits);

// One setup file mode value of `length` bytes (a zero byte ends it early). 1 and *limits set
// (haveH always; haveV when the vertical range is given; never a clock); 0 when it does not read.
int ParseSetupModeValue(const char* text, size_t length, MonitorLimits* limits);

// Makes *into the envelope of itself and `more`: a range known to either spans both, so that a
// monitor listing several modes is held to the widest that it states.
void WidenLimits(MonitorLimits* into, const MonitorLimits& more);
