// Decimal numbers and ranges, exactly and in hundredths.
#include "formats/decimal.h"

namespace {

const char NotANumber[] = "not a number";

uint64_t PowerOfTen(uint32_t exponent) {
    uint64_t p = 1;
    while (exponent--)
        p *= 10;
    return p;
}

// The value's whole part and its fraction in 10^-19 units; both exact, as places <= 19.
struct Split {
    uint64_t whole, fraction;
};
Split SplitOf(const Decimal& d) {
    const uint64_t one = PowerOfTen(d.places);
    return Split{d.digits / one, d.digits % one * PowerOfTen(DecimalMaxDigits - d.places)};
}

int NotAbove(const Decimal& a, const Decimal& b) {
    const Split x = SplitOf(a), y = SplitOf(b);
    return x.whole != y.whole ? x.whole < y.whole : x.fraction <= y.fraction;
}

int Refuse(const char** reason, const char* why) {
    if (reason)
        *reason = why;
    return 0;
}

} // namespace

// Spaces are trimmed from both ends; a leading zero before the point adds nothing and is not
// counted, every other digit is.
int DecodeDecimal(const char* begin, const char* end, Decimal* value, const char** reason) {
    while (begin < end && *begin == ' ')
        ++begin;
    while (end > begin && end[-1] == ' ')
        --end;
    Decimal d{0, 0};
    uint32_t counted = 0;
    int point = 0, anyDigit = 0;
    for (const char* at = begin; at < end; ++at) {
        if (*at == '.' && !point) {
            point = 1;
            continue;
        }
        if (*at < '0' || *at > '9')
            return Refuse(reason, NotANumber);
        anyDigit = 1;
        if (!point && d.digits == 0 && *at == '0')
            continue;
        if (++counted > DecimalMaxDigits)
            return Refuse(reason, "more than 19 digits");
        d.digits = d.digits * 10 + static_cast<uint64_t>(*at - '0');
        d.places += point;
    }
    if (!anyDigit)
        return Refuse(reason, NotANumber);
    *value = d;
    return 1;
}

// The first '-' splits the two numbers; a second one is no number's.
int DecodeDecimalRange(const char* begin, const char* end, Decimal* min, Decimal* max,
                       const char** reason) {
    const char* dash = begin;
    while (dash < end && *dash != '-')
        ++dash;
    if (dash == end)
        return Refuse(reason, "not MIN-MAX");
    Decimal low, high;
    if (!DecodeDecimal(begin, dash, &low, reason) || !DecodeDecimal(dash + 1, end, &high, reason))
        return 0;
    if (!NotAbove(low, high))
        return Refuse(reason, "the minimum is above the maximum");
    *min = low;
    *max = high;
    return 1;
}

double DecimalToDouble(const Decimal& value) {
    double scale = 1;
    for (uint32_t i = 0; i < value.places; ++i)
        scale *= 10;
    return static_cast<double>(value.digits) / scale;
}

int DecimalToHundredths(const Decimal& value, DecimalRounding rounding, uint64_t* hundredths,
                        const char** reason) {
    uint64_t h = DecimalHundredthsLimit; // what stays at or above the limit
    if (value.places > 2) {
        const uint64_t step = PowerOfTen(value.places - 2);
        h = value.digits / step + (rounding == DecimalRoundUp && value.digits % step != 0);
    } else if (value.digits < DecimalHundredthsLimit) {
        h = value.digits * PowerOfTen(2 - value.places);
    }
    if (h >= DecimalHundredthsLimit)
        return Refuse(reason, "above 9999999999.99");
    *hundredths = h;
    return 1;
}

int DecodeHundredths(const char* begin, const char* end, DecimalRounding rounding,
                     uint64_t* hundredths, const char** reason) {
    Decimal d;
    return DecodeDecimal(begin, end, &d, reason) &&
           DecimalToHundredths(d, rounding, hundredths, reason);
}

int DecodeHundredthsRange(const char* begin, const char* end, uint64_t* min, uint64_t* max,
                          const char** reason) {
    Decimal low, high;
    uint64_t a, b;
    if (!DecodeDecimalRange(begin, end, &low, &high, reason) ||
        !DecimalToHundredths(low, DecimalRoundDown, &a, reason) ||
        !DecimalToHundredths(high, DecimalRoundUp, &b, reason))
        return 0;
    *min = a;
    *max = b;
    return 1;
}
