#include "formats/reg_file.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace {

const size_t RawBufferSize = 1 << 16;
const size_t LineLimit = 80; // columns of a hex line, its closing backslash included
const int EndOfText = -1;
const int NothingPeeked = -2;

const char Header4[] = "REGEDIT4";
const char Header5[] = "Windows Registry Editor Version 5.00";

int IsBlank(int c) {
    return c == ' ' || c == '\t';
}

int HexDigit(int c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

int LowerAscii(int c) {
    return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c;
}

int HasControl(const char* text) {
    for (const char* p = text; *p; ++p)
        if (static_cast<unsigned char>(*p) < 0x20 || *p == 0x7F)
            return 1;
    return 0;
}

} // namespace

RegWriter::RegWriter() : data(nullptr), length(0), capacity(0), failed(0) {}

RegWriter::~RegWriter() {
    std::free(data);
}

int RegWriter::Put(const char* text, size_t size) {
    if (failed)
        return 0;
    if (size > capacity - length) {
        size_t wanted = capacity ? capacity : 4096;
        while (wanted - length < size) {
            if (wanted > (static_cast<size_t>(-1) >> 1)) {
                failed = 1;
                return 0;
            }
            wanted *= 2;
        }
        uint8_t* grown = static_cast<uint8_t*>(std::realloc(data, wanted));
        if (!grown) {
            failed = 1;
            return 0;
        }
        data = grown;
        capacity = wanted;
    }
    std::memcpy(data + length, text, size);
    length += size;
    return 1;
}

int RegWriter::Put(const char* text) {
    return Put(text, std::strlen(text));
}

int RegWriter::PutQuoted(const char* text) {
    if (!Put("\"", 1))
        return 0;
    for (const char* p = text; *p; ++p) {
        if ((*p == '\\' || *p == '"') && !Put("\\", 1))
            return 0;
        if (!Put(p, 1))
            return 0;
    }
    return Put("\"", 1);
}

int RegWriter::Begin() {
    return Put(Header4) && Put("\r\n");
}

int RegWriter::Key(const char* path) {
    if (!path || !*path || HasControl(path)) {
        failed = 1;
        return 0;
    }
    return Put("\r\n[") && Put(path) && Put("]\r\n");
}

int RegWriter::Binary(const char* name, const uint8_t* bytes, uint32_t size) {
    if (!name || HasControl(name) || (size && !bytes)) {
        failed = 1;
        return 0;
    }
    const size_t start = length;
    // The default value is written @, as regedit writes it.
    if (!(*name ? PutQuoted(name) : Put("@", 1)) || !Put("=hex:"))
        return 0;
    size_t column = length - start;
    static const char digits[] = "0123456789abcdef";
    for (uint32_t i = 0; i < size; ++i) {
        // Each byte takes "xx," and the line its closing "\": break before it would pass 80.
        if (column + 3 + 1 > LineLimit) {
            if (!Put("\\\r\n  "))
                return 0;
            column = 2;
        }
        const char item[3] = {digits[bytes[i] >> 4], digits[bytes[i] & 0xF], ','};
        if (!Put(item, i + 1 < size ? 3 : 2))
            return 0;
        column += 3;
    }
    return Put("\r\n");
}

int RegWriter::End() {
    return Put("\r\n");
}

int RegReadFile(void* context, uint8_t* buffer, size_t capacity, size_t* got) {
    FILE* file = static_cast<FILE*>(context);
    *got = std::fread(buffer, 1, capacity, file);
    return *got == capacity || !std::ferror(file);
}

int RegReadMemory(void* context, uint8_t* buffer, size_t capacity, size_t* got) {
    RegMemory* memory = static_cast<RegMemory*>(context);
    size_t left = memory->length - memory->at;
    *got = left < capacity ? left : capacity;
    if (*got)
        std::memcpy(buffer, memory->bytes + memory->at, *got);
    memory->at += *got;
    return 1;
}

RegReader::RegReader()
    : source{nullptr, nullptr}, raw(nullptr), rawLength(0), rawAt(0), rawEnded(0),
      utf16(0), pending{0, 0, 0, 0}, pendingCount(0), pendingAt(0), peeked(NothingPeeked),
      keyPath(nullptr), haveKey(0), name(nullptr), data(nullptr), dataLength(0), dataCapacity(0),
      line(1), format(RegFormatUnknown), error(nullptr), errorLine(0) {}

RegReader::~RegReader() {
    delete[] raw;
    delete[] keyPath;
    delete[] name;
    std::free(data);
}

int RegReader::Open(RegSource from) {
    source = from;
    delete[] raw;
    delete[] keyPath;
    delete[] name;
    raw = new (std::nothrow) uint8_t[RawBufferSize];
    keyPath = new (std::nothrow) char[RegKeyPathMax + 1];
    name = new (std::nothrow) char[RegNameMax + 1];
    rawLength = rawAt = 0;
    rawEnded = utf16 = pendingCount = pendingAt = haveKey = 0;
    peeked = NothingPeeked;
    dataLength = 0;
    line = 1;
    format = RegFormatUnknown;
    error = nullptr;
    errorLine = 0;
    if (!raw || !keyPath || !name || !source.read) {
        Fail("out of memory");
        return 0;
    }
    keyPath[0] = name[0] = '\0';
    return 1;
}

int RegReader::Fail(const char* reason) {
    if (!error) {
        error = reason;
        errorLine = line;
    }
    return 0;
}

// Refills the raw buffer, as full as the source will give it. 0 at the end or on an error.
int RegReader::FillRaw() {
    rawLength = rawAt = 0;
    while (!rawEnded && !error && rawLength < RawBufferSize) {
        size_t got = 0;
        if (!source.read(source.context, raw + rawLength, RawBufferSize - rawLength, &got))
            return Fail("the file could not be read");
        if (got == 0)
            rawEnded = 1;
        rawLength += got;
    }
    return rawLength != 0;
}

int RegReader::RawByte() {
    if (rawAt >= rawLength && !FillRaw())
        return EndOfText;
    return raw[rawAt++];
}

// The next UTF-16LE character, a surrogate pair joined. Its code point, or EndOfText at the end
// or after Fail.
int RegReader::DecodeUtf16() {
    const int low = RawByte();
    if (low == EndOfText)
        return EndOfText;
    const int high = RawByte();
    if (high == EndOfText)
        return Fail("odd number of bytes in UTF-16 text"), EndOfText;
    uint32_t unit = static_cast<uint32_t>(low | high << 8);
    if (unit == 0)
        return Fail("zero character in the text"), EndOfText;
    if (unit >= 0xDC00 && unit <= 0xDFFF)
        return Fail("broken UTF-16 surrogate pair"), EndOfText;
    if (unit >= 0xD800 && unit <= 0xDBFF) {
        const int low2 = RawByte();
        const int high2 = low2 == EndOfText ? EndOfText : RawByte();
        if (high2 == EndOfText)
            return Fail(low2 == EndOfText ? "broken UTF-16 surrogate pair"
                                          : "odd number of bytes in UTF-16 text"),
                   EndOfText;
        const uint32_t second = static_cast<uint32_t>(low2 | high2 << 8);
        if (second < 0xDC00 || second > 0xDFFF)
            return Fail("broken UTF-16 surrogate pair"), EndOfText;
        unit = 0x10000 + ((unit - 0xD800) << 10) + (second - 0xDC00);
    }
    return static_cast<int>(unit);
}

// The first UTF-8 byte of a code point of 0x80 or more; the bytes that follow it wait in
// `pending`.
int RegReader::StartUtf8(uint32_t unit) {
    pendingAt = 0;
    if (unit < 0x800) {
        pending[0] = static_cast<uint8_t>(0x80 | (unit & 0x3F));
        pendingCount = 1;
        return static_cast<int>(0xC0 | unit >> 6);
    }
    if (unit < 0x10000) {
        pending[0] = static_cast<uint8_t>(0x80 | ((unit >> 6) & 0x3F));
        pending[1] = static_cast<uint8_t>(0x80 | (unit & 0x3F));
        pendingCount = 2;
        return static_cast<int>(0xE0 | unit >> 12);
    }
    pending[0] = static_cast<uint8_t>(0x80 | ((unit >> 12) & 0x3F));
    pending[1] = static_cast<uint8_t>(0x80 | ((unit >> 6) & 0x3F));
    pending[2] = static_cast<uint8_t>(0x80 | (unit & 0x3F));
    pendingCount = 3;
    return static_cast<int>(0xF0 | unit >> 18);
}

// The next byte of text: raw bytes, or UTF-16LE turned into UTF-8. EndOfText at the end or on
// an error.
int RegReader::DecodeNext() {
    if (error)
        return EndOfText;
    if (!utf16) {
        const int c = RawByte();
        if (c == 0)
            return Fail("zero character in the text"), EndOfText;
        return c;
    }
    if (pendingAt < pendingCount)
        return pending[pendingAt++];
    const int unit = DecodeUtf16();
    if (unit == EndOfText || unit < 0x80)
        return unit;
    return StartUtf8(static_cast<uint32_t>(unit));
}

int RegReader::Peek() {
    if (peeked == NothingPeeked)
        peeked = DecodeNext();
    return peeked;
}

int RegReader::Get() {
    const int c = Peek();
    peeked = NothingPeeked;
    return c;
}

int RegReader::AtLineEnd() {
    const int c = Peek();
    return c == '\r' || c == '\n' || c == EndOfText;
}

void RegReader::SkipBlanks() {
    while (IsBlank(Peek()))
        Get();
}

// Consumes one line end (CRLF, LF or CR) and counts the line. 0 when at the end of the text.
int RegReader::SkipLineEnd() {
    const int c = Get();
    if (c == '\r' && Peek() == '\n')
        Get();
    if (c == EndOfText)
        return 0;
    ++line;
    return 1;
}

// After an item: only blanks may follow on its line.
int RegReader::RestOfLineEmpty() {
    SkipBlanks();
    if (!AtLineEnd())
        return Fail("text after the end of the item");
    SkipLineEnd();
    return !error;
}

int RegReader::ReadHeader() {
    static const char notRegistry[] = "not a registry file: the first line must be REGEDIT4 or "
                                      "Windows Registry Editor Version 5.00";
    if (!FillRaw())
        return Fail(notRegistry);
    if (rawLength >= 2 && raw[0] == 0xFF && raw[1] == 0xFE) {
        utf16 = 1;
        rawAt = 2;
    } else if (rawLength >= 2 && raw[0] == 0xFE && raw[1] == 0xFF) {
        return Fail("UTF-16 big-endian text is not read");
    } else if (rawLength >= 3 && raw[0] == 0xEF && raw[1] == 0xBB && raw[2] == 0xBF) {
        rawAt = 3;
    }
    char text[sizeof Header5 + 1];
    size_t size = 0;
    while (!AtLineEnd()) {
        const int c = Get();
        if (size + 1 >= sizeof text)
            return Fail(notRegistry);
        text[size++] = static_cast<char>(c);
    }
    if (error)
        return 0;
    while (size && IsBlank(text[size - 1]))
        --size;
    text[size] = '\0';
    if (std::strcmp(text, Header4) == 0)
        format = RegFormat4;
    else if (std::strcmp(text, Header5) == 0)
        format = RegFormat5;
    else
        return Fail(notRegistry);
    SkipLineEnd();
    return !error;
}

int RegReader::ReadKey(RegItem* item) {
    Get(); // '['
    size_t size = 0;
    size_t close = 0; // one past the last ']' seen
    while (!AtLineEnd()) {
        const int c = Get();
        if (size >= RegKeyPathMax)
            return Fail("key path too long");
        keyPath[size++] = static_cast<char>(c);
        if (c == ']')
            close = size;
    }
    if (error)
        return 0;
    if (!close)
        return Fail("key without its closing bracket");
    for (size_t i = close; i < size; ++i)
        if (!IsBlank(keyPath[i]))
            return Fail("text after the key's closing bracket");
    size = close - 1;
    keyPath[size] = '\0';
    const int deletion = size > 0 && keyPath[0] == '-';
    if (deletion)
        std::memmove(keyPath, keyPath + 1, size--);
    if (size == 0)
        return Fail("empty key path");
    haveKey = !deletion;
    item->kind = deletion ? RegDeleteKeyItem : RegKeyItem;
    item->keyPath = keyPath;
    SkipLineEnd();
    return !error;
}

// A quoted text, the opening quote next. Stops at the closing quote; escapes \\ and \".
int RegReader::ReadQuoted(char* out, size_t limit, size_t* size, const char* tooLong) {
    Get(); // '"'
    size_t n = 0;
    for (;;) {
        if (AtLineEnd())
            return Fail("text without its closing quote");
        int c = Get();
        if (c == '"')
            break;
        if (c == '\\') {
            c = Get();
            if (c != '\\' && c != '"')
                return Fail("unknown escape in quoted text");
        }
        if (n >= limit)
            return Fail(tooLong);
        out[n++] = static_cast<char>(c);
    }
    *size = n;
    return !error;
}

int RegReader::AppendData(uint8_t byte) {
    if (dataLength >= RegDataMax)
        return Fail("value data larger than 1 MiB");
    if (dataLength == dataCapacity) {
        const uint32_t wanted = dataCapacity ? dataCapacity * 2 : 256;
        uint8_t* grown = static_cast<uint8_t*>(std::realloc(data, wanted));
        if (!grown)
            return Fail("out of memory");
        data = grown;
        dataCapacity = wanted;
    }
    data[dataLength++] = byte;
    return 1;
}

// One to eight hex digits.
int RegReader::ReadHexNumber(uint32_t* value) {
    uint32_t v = 0;
    int digits = 0;
    for (int d; (d = HexDigit(Peek())) >= 0; Get()) {
        if (++digits > 8)
            return Fail("number past 32 bits");
        v = v << 4 | static_cast<uint32_t>(d);
    }
    if (!digits)
        return Fail("hex number expected");
    *value = v;
    return !error;
}

int RegReader::ReadDword() {
    uint32_t v = 0;
    if (!ReadHexNumber(&v))
        return 0;
    for (int i = 0; i < 4; ++i)
        if (!AppendData(static_cast<uint8_t>(v >> (8 * i))))
            return 0;
    return 1;
}

// The byte list after "hex:" or "hex(n):", with its continuation lines. A list may be empty;
// a comma must be followed by a byte or by a continuation, so a list cut after a comma is
// refused.
int RegReader::ReadHexBytes() {
    enum { Start, AfterByte, AfterComma } state = Start;
    for (;;) {
        SkipBlanks();
        const int c = Peek();
        if (error)
            return 0;
        if (c == '\r' || c == '\n' || c == EndOfText) {
            if (state == AfterComma)
                return Fail("hex bytes end with a comma");
            return 1;
        }
        if (state == AfterByte) {
            if (c != ',')
                return Fail("comma expected between hex bytes");
            Get();
            state = AfterComma;
            continue;
        }
        if (c == '\\') {
            Get();
            SkipBlanks();
            if (!AtLineEnd())
                return Fail("text after a continuation backslash");
            if (!SkipLineEnd())
                return Fail("the file ends inside a value");
            SkipBlanks();
            if (AtLineEnd())
                return Fail(Peek() == EndOfText ? "the file ends inside a value"
                                                : "blank line inside a value");
            continue;
        }
        const int high = HexDigit(Get());
        const int low = HexDigit(Peek());
        if (high < 0 || low < 0)
            return Fail("a hex byte must be two hex digits");
        Get();
        if (HexDigit(Peek()) >= 0)
            return Fail("a hex byte must be two hex digits");
        if (!AppendData(static_cast<uint8_t>(high << 4 | low)))
            return 0;
        state = AfterByte;
    }
}

// A quoted string, the opening quote next, into the data buffer with its terminating zero;
// \\ and \" are the only escapes. 1 when read; 0 after Fail.
int RegReader::ReadStringData() {
    Get(); // '"'
    for (;;) {
        if (AtLineEnd())
            return Fail("text without its closing quote");
        int ch = Get();
        if (ch == '"')
            break;
        if (ch == '\\') {
            ch = Get();
            if (ch != '\\' && ch != '"')
                return Fail("unknown escape in quoted text");
        }
        if (!AppendData(static_cast<uint8_t>(ch)))
            return 0;
    }
    return AppendData(0);
}

// "dword:" with its number, or "hex:" or "hex(n):" with its byte list, the type word next.
// 1 with the type in *item and the bytes in the data buffer; 0 after Fail.
int RegReader::ReadTypedData(RegItem* item) {
    char word[6] = {0};
    size_t n = 0;
    while (n < 5 && !AtLineEnd() && Peek() != ':' && Peek() != '(')
        word[n++] = static_cast<char>(LowerAscii(Get()));
    if (std::strcmp(word, "dword") == 0 && Get() == ':') {
        item->type = RegTypeDword;
        return ReadDword();
    }
    if (std::strcmp(word, "hex") != 0)
        return Fail("value data not understood");
    item->type = RegTypeBinary;
    if (Peek() == '(') {
        Get();
        if (!ReadHexNumber(&item->type))
            return 0;
        if (Get() != ')')
            return Fail("')' expected after the value type");
    }
    if (Get() != ':')
        return Fail("':' expected after hex");
    return ReadHexBytes();
}

// The data after '=': '-' for a deletion, a quoted string, or a typed value. 1 with the kind and
// type in *item and the bytes in the data buffer; 0 after Fail.
int RegReader::ReadValueData(RegItem* item) {
    const int c = Peek();
    if (c == '-') {
        Get();
        item->kind = RegDeleteValueItem;
        item->type = RegTypeNone;
        return 1;
    }
    if (c != '"')
        return ReadTypedData(item);
    if (!ReadStringData())
        return 0;
    item->type = RegTypeSz;
    return 1;
}

int RegReader::ReadValue(RegItem* item) {
    if (!haveKey)
        return Fail("value outside a key");
    const uint32_t start = line;
    size_t size = 0;
    if (Peek() == '@') {
        Get();
    } else if (!ReadQuoted(name, RegNameMax, &size, "value name too long")) {
        return 0;
    }
    name[size] = '\0';
    SkipBlanks();
    if (Get() != '=')
        return Fail("'=' expected after the value name");
    SkipBlanks();
    dataLength = 0;
    item->kind = RegValueItem;
    item->line = start;
    item->keyPath = keyPath;
    item->name = name;
    if (!ReadValueData(item))
        return 0;
    item->data = data;
    item->length = dataLength;
    return RestOfLineEmpty();
}

int RegReader::Next(RegItem* item) {
    if (error || !raw || !item)
        return 0;
    if (format == RegFormatUnknown && !ReadHeader())
        return 0;
    for (;;) {
        SkipBlanks();
        const int c = Peek();
        if (error)
            return 0;
        if (c == EndOfText)
            return 0;
        if (c == '\r' || c == '\n') {
            SkipLineEnd();
            continue;
        }
        if (c == ';') {
            while (!AtLineEnd())
                Get();
            continue;
        }
        *item = RegItem{};
        item->line = line;
        if (c == '[')
            return ReadKey(item);
        if (c == '"' || c == '@')
            return ReadValue(item);
        return Fail("line not understood");
    }
}
