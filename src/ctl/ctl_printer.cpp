// The console's output: the FILE* stream and the printer.
#include "ctl/ctl_printer.h"

#include "formats/raster.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

int CtlWriteToFile(void* context, const char* text, size_t length) {
    FILE* file = static_cast<FILE*>(context);
    return length == 0 || std::fwrite(text, 1, length, file) == length;
}

void CtlPrinter::Bytes(const char* text, size_t length) {
    if (length && !stream.write(stream.context, text, length))
        failed = 1;
}

void CtlPrinter::Text(const char* text) {
    Bytes(text, std::strlen(text));
}

void CtlPrinter::Printable(const char* text) {
    const char* start = text;
    for (const char* p = text; *p; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c < 0x20 || c == 0x7F) {
            Bytes(start, static_cast<size_t>(p - start));
            Bytes("?", 1);
            start = p + 1;
        }
    }
    Text(start);
}

void CtlPrinter::Number(uint64_t number) {
    char digits[24];
    size_t n = 0;
    do {
        digits[sizeof digits - 1 - n++] = static_cast<char>('0' + number % 10);
        number /= 10;
    } while (number);
    Bytes(digits + sizeof digits - n, n);
}

void CtlPrinter::Hundredths(uint64_t hundredths) {
    char text[32];
    if (FormatHundredths(hundredths, text, sizeof text))
        Text(text);
    else
        failed = 1;
}

void CtlPrinter::Fixed(double value, unsigned places, int plus) {
    static const uint64_t Powers[] = {1,      10,      100,      1000,      10000,
                                      100000, 1000000, 10000000, 100000000, 1000000000};
    if (places > 9)
        places = 9;
    const uint64_t scale = Powers[places];
    const double magnitude = value < 0 ? -value : value;
    uint64_t scaled = 1000000000000ull * scale;
    if (magnitude < 1e12)
        scaled = static_cast<uint64_t>(std::floor(magnitude * static_cast<double>(scale) + 0.5));
    else
        failed = 1; // also a NaN, which no comparison holds
    if (value < 0 && scaled)
        Text("-");
    else if (plus)
        Text("+");
    Number(scaled / scale);
    if (places == 0)
        return;
    char part[12];
    std::snprintf(part, sizeof part, ".%0*u", static_cast<int>(places),
                  static_cast<unsigned>(scaled % scale));
    Text(part);
}

void CtlPrinter::Format(const char* format, ...) {
    char line[512];
    va_list arguments;
    va_start(arguments, format);
    const int length = std::vsnprintf(line, sizeof line, format, arguments);
    va_end(arguments);
    if (length < 0 || static_cast<size_t>(length) >= sizeof line) {
        failed = 1;
        return;
    }
    Bytes(line, static_cast<size_t>(length));
}
