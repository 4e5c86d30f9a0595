// Decimal numbers and ranges as people write them, in one place: the console's options, a setup
// file's MODES values and the CRT monitor text all read them here, so that a number reads the
// same wherever it is given.
//
//   number  spaces, then digits with at most one '.' among them and at least one digit ("96",
//           "31.5", "15.625", "15.", ".5"), then spaces. At most 19 digits, leading zeros before
//           the point aside. No sign, no exponent, nothing else.
//   range   number '-' number ("30-83", "15.625-16.2"), the first not above the second.
//
// A number is decoded exactly: its digits as one integer and the count of them after the point.
// The CRT monitor text keeps it so, as a double; nothing there is rounded to hundredths.
//
// Hundredths. The console's limits, a setup file's ranges and the frequencies they are compared
// with (RasterFigures) count hundredths. Up to two decimals a number is its hundredths exactly.
// A number with more is widened to the hundredths around it: a range's minimum rounded down and
// its maximum rounded up, so 15.625-16.2 becomes 15.62-16.20. The hundredths range then holds
// every value of the written one, and a figure inside the written range, rounded to hundredths,
// is inside the kept one: a timing inside the limits a user gives is never refused. What is let
// through beyond the written range is less than one hundredth, the unit every figure is printed
// in. A lone number takes the side the caller names. Hundredths stay below DecimalHundredthsLimit.
//
// Every decoder reads the whole of [begin, end), returns 1 and fills its outputs, or returns 0
// with the outputs untouched and, when `reason` is not null, a short reason.
#pragma once

#include <cstdint>

const uint32_t DecimalMaxDigits = 19;                     // any 19 digits fit 64 bits
const uint64_t DecimalHundredthsLimit = 1000000000000ull; // 9999999999.99 is the last

// digits / 10^places, places <= DecimalMaxDigits.
struct Decimal {
    uint64_t digits;
    uint32_t places;
};

enum DecimalRounding { DecimalRoundDown, DecimalRoundUp };

int DecodeDecimal(const char* begin, const char* end, Decimal* value, const char** reason);

// "MIN-MAX" exactly, compared exactly: "30.009-30.001" runs downward and is refused.
int DecodeDecimalRange(const char* begin, const char* end, Decimal* min, Decimal* max,
                       const char** reason);

// The digits divided by 10^places in doubles: a number of 15 digits or fewer (leading zeros
// aside) gives the double nearest to what is written.
double DecimalToDouble(const Decimal& value);

// The number in hundredths, rounded as asked when it has more than two decimals; 0 when that
// reaches DecimalHundredthsLimit.
int DecimalToHundredths(const Decimal& value, DecimalRounding rounding, uint64_t* hundredths,
                        const char** reason);

// One number in hundredths, rounded as asked.
int DecodeHundredths(const char* begin, const char* end, DecimalRounding rounding,
                     uint64_t* hundredths, const char** reason);

// "MIN-MAX" in hundredths, widened: the minimum rounded down, the maximum up.
int DecodeHundredthsRange(const char* begin, const char* end, uint64_t* min, uint64_t* max,
                          const char** reason);
