#include "formats/modeline.h"

#include <cstring>

namespace {

int IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

int IsDigit(char c) {
    return c >= '0' && c <= '9';
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// A cursor over the text that hands out whitespace-separated words.
struct Scanner {
    const char* text;
    size_t length;
    size_t at;

    void SkipSpace() {
        while (at < length && IsSpace(text[at]))
            ++at;
    }
    int AtEnd() {
        SkipSpace();
        return at >= length;
    }
    // The next word's extent, without moving past it.
    size_t WordEnd() const {
        size_t end = at;
        while (end < length && !IsSpace(text[end]))
            ++end;
        return end;
    }
};

int WordIs(const char* word, size_t size, const char* keyword) {
    if (std::strlen(keyword) != size)
        return 0;
    for (size_t i = 0; i < size; ++i)
        if (Lower(word[i]) != keyword[i])
            return 0;
    return 1;
}

int Fail(ModelineError* error, const char* reason, size_t offset) {
    if (error) {
        error->reason = reason;
        error->offset = offset;
    }
    return 0;
}

// Decimal digits of a word into 32 bits. 1, or 0 with the reason.
int ScanU32(const char* word, size_t size, uint32_t* value, const char** reason) {
    if (size == 0 || !IsDigit(word[0])) {
        *reason = "not a whole decimal number";
        return 0;
    }
    uint64_t v = 0;
    for (size_t i = 0; i < size; ++i) {
        if (!IsDigit(word[i])) {
            *reason = "not a whole decimal number";
            return 0;
        }
        v = v * 10 + static_cast<uint64_t>(word[i] - '0');
        if (v > UINT32_MAX) {
            *reason = "number past 32 bits";
            return 0;
        }
    }
    *value = static_cast<uint32_t>(v);
    return 1;
}

// The clock word, MHz with up to six decimals, into hertz.
int ScanClock(const char* word, size_t size, uint64_t* hz, const char** reason) {
    size_t point = 0;
    while (point < size && word[point] != '.')
        ++point;
    uint32_t mhz = 0;
    if (!ScanU32(word, point, &mhz, reason))
        return 0;
    uint64_t fraction = 0;
    if (point < size) {
        const size_t decimals = size - point - 1;
        if (decimals == 0 || decimals > 6) {
            *reason = decimals ? "clock with more than six decimals" : "not a decimal number";
            return 0;
        }
        for (size_t i = point + 1; i < size; ++i) {
            if (!IsDigit(word[i])) {
                *reason = "not a decimal number";
                return 0;
            }
            fraction = fraction * 10 + static_cast<uint64_t>(word[i] - '0');
        }
        for (size_t i = decimals; i < 6; ++i)
            fraction *= 10;
    }
    *hz = static_cast<uint64_t>(mhz) * 1000000 + fraction;
    return 1;
}

// A well-formed clock word (digits, at most one point): tells a bare name from the clock.
int LooksLikeNumber(const char* word, size_t size) {
    size_t points = 0, digits = 0;
    for (size_t i = 0; i < size; ++i) {
        if (word[i] == '.')
            ++points;
        else if (IsDigit(word[i]))
            ++digits;
        else
            return 0;
    }
    return digits > 0 && points <= 1;
}

const char* const FieldNames[8] = {"missing horizontal display",  "missing horizontal sync start",
                                   "missing horizontal sync end", "missing horizontal total",
                                   "missing vertical display",    "missing vertical sync start",
                                   "missing vertical sync end",   "missing vertical total"};

// A bounded writer into a caller's buffer; once anything has not fit, it stays failed.
struct Out {
    char* buffer;
    size_t size;
    size_t at;
    int ok;

    void Put(const char* text, size_t n) {
        if (!ok || n >= size - at) {
            ok = 0;
            return;
        }
        std::memcpy(buffer + at, text, n);
        at += n;
        buffer[at] = '\0';
    }
    void Put(const char* text) { Put(text, std::strlen(text)); }
    void PutNumber(uint64_t v) {
        char digits[24];
        size_t n = 0;
        do {
            digits[n++] = static_cast<char>('0' + v % 10);
            v /= 10;
        } while (v);
        char text[24];
        for (size_t i = 0; i < n; ++i)
            text[i] = digits[n - 1 - i];
        Put(text, n);
    }
};

// The flag words, with the flags that exclude each (itself included).
struct FlagWord {
    const char* word;
    uint32_t flag;
    uint32_t group;
};

const FlagWord FlagWords[6] = {
    {"+hsync", RasterHSyncPositive, RasterHSyncPositive | RasterHSyncNegative},
    {"-hsync", RasterHSyncNegative, RasterHSyncPositive | RasterHSyncNegative},
    {"+vsync", RasterVSyncPositive, RasterVSyncPositive | RasterVSyncNegative},
    {"-vsync", RasterVSyncNegative, RasterVSyncPositive | RasterVSyncNegative},
    {"interlace", RasterInterlace, RasterInterlace},
    {"doublescan", RasterDoubleScan, RasterDoubleScan}};

// A quoted name at s.at: no quote inside, at most 63 bytes, no control character, and a space or
// the end after its closing quote. 1 with the name copied and s.at past it; 0 after Fail.
int ScanQuotedName(Scanner& s, char* name, ModelineError* error) {
    const char* text = s.text;
    const char* close =
        static_cast<const char*>(std::memchr(text + s.at + 1, '"', s.length - s.at - 1));
    if (!close)
        return Fail(error, "name without its closing quote", s.at);
    const size_t size = static_cast<size_t>(close - (text + s.at + 1));
    if (size >= ModelineNameSize)
        return Fail(error, "name longer than 63 bytes", s.at);
    for (size_t i = 0; i < size; ++i)
        if (static_cast<unsigned char>(text[s.at + 1 + i]) < 0x20 || text[s.at + 1 + i] == 0x7F)
            return Fail(error, "control character in the name", s.at + 1 + i);
    std::memcpy(name, text + s.at + 1, size);
    s.at = static_cast<size_t>(close - text) + 1;
    if (s.at < s.length && !IsSpace(text[s.at]))
        return Fail(error, "no space after the name", s.at);
    return 1;
}

// A bare name: the word from s.at to `end`, at most 63 bytes, without a quote or a control
// character. 1 with the name copied and s.at past it; 0 after Fail.
int ScanBareName(Scanner& s, size_t end, char* name, ModelineError* error) {
    const size_t size = end - s.at;
    if (size >= ModelineNameSize)
        return Fail(error, "name longer than 63 bytes", s.at);
    for (size_t i = 0; i < size; ++i) {
        const unsigned char c = static_cast<unsigned char>(s.text[s.at + i]);
        if (c < 0x20 || c == '"' || c == 0x7F)
            return Fail(error, "quote or control character in the name", s.at + i);
    }
    std::memcpy(name, s.text + s.at, size);
    s.at = end;
    return 1;
}

// What comes before the clock: the keyword "Modeline" and a name, either optional; a bare name is a
// word that does not look like a number. 1 with s.at on the clock's word and the name (when given)
// in `name`; 0 after Fail.
int ScanHead(Scanner& s, char* name, ModelineError* error) {
    if (s.AtEnd())
        return Fail(error, "empty modeline", s.at);
    size_t end = s.WordEnd();
    if (WordIs(s.text + s.at, end - s.at, "modeline")) {
        s.at = end;
        if (s.AtEnd())
            return Fail(error, "missing clock", s.at);
        end = s.WordEnd();
    }
    if (s.text[s.at] == '"')
        return ScanQuotedName(s, name, error);
    if (!LooksLikeNumber(s.text + s.at, end - s.at))
        return ScanBareName(s, end, name, error);
    return 1;
}

// The clock and the eight numbers, in the modeline's order. 1 with them in the raster; 0 after Fail
// at the first that is missing or malformed.
int ScanNumbers(Scanner& s, Raster* r, ModelineError* error) {
    const char* reason = nullptr;
    if (s.AtEnd())
        return Fail(error, "missing clock", s.at);
    size_t end = s.WordEnd();
    if (!ScanClock(s.text + s.at, end - s.at, &r->clockHz, &reason))
        return Fail(error, reason, s.at);
    s.at = end;
    uint32_t* fields[8] = {&r->hDisplay, &r->hSyncStart, &r->hSyncEnd, &r->hTotal,
                           &r->vDisplay, &r->vSyncStart, &r->vSyncEnd, &r->vTotal};
    for (int i = 0; i < 8; ++i) {
        if (s.AtEnd())
            return Fail(error, FieldNames[i], s.at);
        end = s.WordEnd();
        if (!ScanU32(s.text + s.at, end - s.at, fields[i], &reason))
            return Fail(error, reason, s.at);
        s.at = end;
    }
    return 1;
}

// The flags up to the end of the text, each at most once and one polarity of a sync at most. 1 with
// them added to *flags; 0 after Fail at the first word that is none or repeats.
int ScanFlags(Scanner& s, uint32_t* flags, ModelineError* error) {
    while (!s.AtEnd()) {
        const size_t end = s.WordEnd();
        const FlagWord* found = nullptr;
        for (const FlagWord& f : FlagWords)
            if (WordIs(s.text + s.at, end - s.at, f.word))
                found = &f;
        if (!found)
            return Fail(error, "unknown flag or trailing text", s.at);
        if (*flags & found->group)
            return Fail(error, "flag repeated or sync given both polarities", s.at);
        *flags |= found->flag;
        s.at = end;
    }
    return 1;
}

// The length of a name that a written modeline can carry between quotes: zero-terminated within
// ModelineNameSize, without a quote or a control character. 1 and the length; 0 when the name
// cannot be written.
int WritableName(const char* name, size_t* length) {
    size_t n = 0;
    while (n < ModelineNameSize && name[n])
        ++n;
    if (n >= ModelineNameSize)
        return 0;
    for (size_t i = 0; i < n; ++i) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        if (c < 0x20 || c == '"' || c == 0x7F)
            return 0;
    }
    *length = n;
    return 1;
}

// The clock in MHz with at least two decimals, more only when the hertz need them.
void PutClock(Out& o, uint64_t clockHz) {
    o.PutNumber(clockHz / 1000000);
    uint32_t fraction = static_cast<uint32_t>(clockHz % 1000000);
    char decimals[8] = {'.'};
    size_t places = 6;
    for (size_t i = 6; i > 0; --i) {
        decimals[i] = static_cast<char>('0' + fraction % 10);
        fraction /= 10;
    }
    while (places > 2 && decimals[places] == '0')
        --places;
    o.Put(decimals, places + 1);
}

// The flags as written, in this order.
const struct {
    uint32_t flag;
    const char* text;
} WrittenFlags[6] = {{RasterInterlace, " interlace"},  {RasterDoubleScan, " doublescan"},
                     {RasterHSyncPositive, " +hsync"}, {RasterHSyncNegative, " -hsync"},
                     {RasterVSyncPositive, " +vsync"}, {RasterVSyncNegative, " -vsync"}};

} // namespace

int ParseModeline(const char* text, size_t length, Modeline* modeline, ModelineError* error) {
    if (!text || !modeline)
        return Fail(error, "no text", 0);
    const char* zero = static_cast<const char*>(std::memchr(text, '\0', length));
    if (zero)
        return Fail(error, "zero byte in the text", static_cast<size_t>(zero - text));
    Scanner s{text, length, 0};
    Modeline m{};
    if (!ScanHead(s, m.name, error) || !ScanNumbers(s, &m.raster, error) ||
        !ScanFlags(s, &m.raster.flags, error))
        return 0;
    const char* reason = nullptr;
    if (!CheckRaster(m.raster, &reason))
        return Fail(error, reason, 0);
    *modeline = m;
    return 1;
}

int FormatModeline(const Modeline& modeline, char* out, size_t size) {
    if (!out || size == 0)
        return 0;
    size_t nameLength = 0;
    if (!WritableName(modeline.name, &nameLength))
        return 0;
    const Raster& r = modeline.raster;
    Out o{out, size, 0, 1};
    out[0] = '\0';
    o.Put("Modeline \"");
    o.Put(modeline.name, nameLength);
    o.Put("\" ");
    PutClock(o, r.clockHz);
    const uint32_t numbers[8] = {r.hDisplay, r.hSyncStart, r.hSyncEnd, r.hTotal,
                                 r.vDisplay, r.vSyncStart, r.vSyncEnd, r.vTotal};
    for (uint32_t n : numbers) {
        o.Put(" ");
        o.PutNumber(n);
    }
    for (const auto& written : WrittenFlags)
        if (r.flags & written.flag)
            o.Put(written.text);
    return o.ok;
}
