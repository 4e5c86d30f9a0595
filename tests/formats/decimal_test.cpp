#include "formats/decimal.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

const uint64_t No = UINT64_MAX; // refused

uint64_t Hundredths(const std::string& text, DecimalRounding rounding, const char** reason) {
    uint64_t h = No;
    return DecodeHundredths(text.data(), text.data() + text.size(), rounding, &h, reason) ? h : No;
}

} // namespace

TEST(Decimal, NumbersExactlyAndInHundredths) {
    const struct {
        std::string text;
        uint64_t down, up;
        double value;       // when read
        const char* reason; // when refused rounded up
    } cases[] = {
        {"96", 9600, 9600, 96, ""},
        {" 25.18 ", 2518, 2518, 25.18, ""},
        {"15.625", 1562, 1563, 15.625, ""},
        {"15.734264", 1573, 1574, 15.734264, ""},
        {".5", 50, 50, 0.5, ""},
        {"15.", 1500, 1500, 15, ""},
        {"16.20000000000000000", 1620, 1620, 16.2, ""}, // zeros widen nothing
        {std::string(30, '0') + "31.5", 3150, 3150, 31.5, ""},
        {"0.1234567890123456789", 12, 13, 0.1234567890123456789, ""},
        {"9999999999.991", 999999999999, No, 9999999999.991, "above 9999999999.99"},
        {"10000000000", No, No, 1e10, "above 9999999999.99"},
        {"0.12345678901234567890", No, No, 0, "more than 19 digits"},
        {"", No, No, 0, "not a number"},
        {" . ", No, No, 0, "not a number"},
        {"1.2.3", No, No, 0, "not a number"},
        {"-1", No, No, 0, "not a number"},
        {"1e3", No, No, 0, "not a number"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const char* why = nullptr;
        EXPECT_EQ(c.down, Hundredths(c.text, DecimalRoundDown, nullptr));
        EXPECT_EQ(c.up, Hundredths(c.text, DecimalRoundUp, &why));
        EXPECT_STREQ(c.up == No ? c.reason : nullptr, why);
        Decimal d{};
        if (DecodeDecimal(c.text.data(), c.text.data() + c.text.size(), &d, nullptr)) {
            EXPECT_DOUBLE_EQ(c.value, DecimalToDouble(d));
        }
    }
}

TEST(Decimal, RangesWidenOutwardAndNeverRunDownward) {
    const struct {
        const char* text;
        uint64_t min, max;
        const char* reason; // when refused
    } cases[] = {
        {"30-83", 3000, 8300, nullptr},
        {"15.625-16.2", 1562, 1620, nullptr},
        {" 31.469 - 64.999 ", 3146, 6500, nullptr},
        {"30.009-30.001", No, No, "the minimum is above the maximum"}, // 30.00-30.01 if widened
        {"83-30", No, No, "the minimum is above the maximum"},
        {"30", No, No, "not MIN-MAX"},
        {"30-", No, No, "not a number"},
        {"30-40-50", No, No, "not a number"},
        {"30-9999999999.991", No, No, "above 9999999999.99"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        uint64_t min = No, max = No;
        const char* why = nullptr;
        DecodeHundredthsRange(c.text, c.text + std::strlen(c.text), &min, &max, &why);
        EXPECT_EQ(c.min, min);
        EXPECT_EQ(c.max, max);
        EXPECT_STREQ(c.reason, why);
    }
}
