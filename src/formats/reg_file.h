// Registry export files (.reg), written and read.
//
// Written form (what regedit exports as REGEDIT4, and imports on any Windows):
//   REGEDIT4 CRLF, then for each key: CRLF "[" key path "]" CRLF and its values; CRLF at the end.
//   A binary value: "name"=hex:xx,xx,...,xx CRLF, lowercase hex, name with \ and " escaped
//   (the default value, of the empty name, as @=hex:...).
//   A line holds as many "xx," as keep it, with its closing "\", within 80 columns; the next
//   line starts with two spaces (so 25 bytes on each continuation line).
//
// Read form: the first line "REGEDIT4" or "Windows Registry Editor Version 5.00", in ANSI or
// UTF-8 (a UTF-8 byte-order mark is skipped) or in UTF-16LE with its byte-order mark (text is
// then handed out as UTF-8). Lines end in CRLF, LF or CR. Then, each line being one of:
//   blank, or ; comment
//   [key path]            a key; [-key path] deletes a key
//   "name"=... or @=...   a value of the last key; in a name or string \\ is \ and \" is "
//     ="text"             REG_SZ (1): the text and a terminating zero byte
//     =dword:hhhhhhhh     REG_DWORD (4): one to eight hex digits, four bytes little-endian
//     =hex:xx,xx,...      REG_BINARY (3)
//     =hex(n):xx,xx,...   type n (one to eight hex digits); bytes are exactly two hex digits,
//                         separated by commas; a "\" after a comma (or right after the colon)
//                         continues on the next line, whose leading blanks are skipped
//     =-                  deletes the value
// Spaces and tabs may stand around "=", ",", and at either end of a line. Anything else stops the
// reader with the line number and a reason: a missing header, a value before any key, a zero
// character, a broken UTF-16 text (odd length, lone surrogate), a number past 32 bits, a byte
// that is not two hex digits, a file that ends inside a value, an unknown escape, or text past
// the limits below. The reader streams: it keeps one value at a time, never a whole line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// Limits of what one item may hold, in bytes (names and key paths as UTF-8, without a zero).
const size_t RegNameMax = 16383;
const size_t RegKeyPathMax = 32767;
const uint32_t RegDataMax = 1u << 20;

// Keeps a .reg file in memory as it is written. Every method returns 1, or 0 when memory ran out
// or the text cannot be written as given (a control character in a name or key path); after a
// 0 the writer stays failed and writes nothing more.
class RegWriter {
public:
    RegWriter();
    ~RegWriter();
    RegWriter(const RegWriter&) = delete;
    RegWriter& operator=(const RegWriter&) = delete;

    // Writes the header. Call first.
    int Begin();
    // Starts a key section, the full path with its root ("HKEY_LOCAL_MACHINE\...").
    int Key(const char* path);
    // Writes a binary value of the current key; the empty name is the key's default value.
    int Binary(const char* name, const uint8_t* data, uint32_t length);
    // Closes the last section. The file is then Data()[0 .. Length()).
    int End();

    const uint8_t* Data() const { return data; }
    size_t Length() const { return length; }

private:
    int Put(const char* text, size_t size);
    int Put(const char* text);
    int PutQuoted(const char* text);

    uint8_t* data;
    size_t length;
    size_t capacity;
    int failed;
};

// Where the reader takes its bytes. read fills up to `capacity` bytes and sets *got (0 at the
// end); it returns 0 on a read error.
struct RegSource {
    int (*read)(void* context, uint8_t* buffer, size_t capacity, size_t* got);
    void* context;
};

// Sources over a FILE* (context) and over memory (context is a RegMemory).
int RegReadFile(void* context, uint8_t* buffer, size_t capacity, size_t* got);
struct RegMemory {
    const uint8_t* bytes;
    size_t length;
    size_t at;
};
int RegReadMemory(void* context, uint8_t* buffer, size_t capacity, size_t* got);

enum RegItemKind { RegKeyItem, RegDeleteKeyItem, RegValueItem, RegDeleteValueItem };

const uint32_t RegTypeNone = 0;
const uint32_t RegTypeSz = 1;
const uint32_t RegTypeBinary = 3;
const uint32_t RegTypeDword = 4;

// One line's worth of meaning. The pointers stay valid until the next call to Next.
struct RegItem {
    RegItemKind kind;
    uint32_t line;       // where the item begins, from 1
    const char* keyPath; // the key, as written inside the brackets (without a leading '-')
    const char* name;    // values: the name, "" for the default value (@)
    uint32_t type;       // RegValueItem only
    const uint8_t* data;
    uint32_t length;
};

enum RegFileFormat { RegFormatUnknown = 0, RegFormat4 = 4, RegFormat5 = 5 };

class RegReader {
public:
    RegReader();
    ~RegReader();
    RegReader(const RegReader&) = delete;
    RegReader& operator=(const RegReader&) = delete;

    // Prepares to read the source. 0 when memory for the buffers could not be had.
    int Open(RegSource source);

    // The next item: 1 and the item; 0 at the end of the file or on an error (Failed() tells).
    // After an error every further call returns 0.
    int Next(RegItem* item);

    int Failed() const { return error != nullptr; }
    const char* Error() const { return error; }
    uint32_t ErrorLine() const { return errorLine; }
    RegFileFormat Format() const { return format; }

private:
    int Fail(const char* reason);
    int FillRaw();
    int RawByte();
    int DecodeUtf16();
    int StartUtf8(uint32_t unit);
    int DecodeNext();
    int Peek();
    int Get();
    int AtLineEnd();
    void SkipBlanks();
    int SkipLineEnd();
    int ReadHeader();
    int ReadKey(RegItem* item);
    int ReadValue(RegItem* item);
    int ReadValueData(RegItem* item);
    int ReadStringData();
    int ReadTypedData(RegItem* item);
    int ReadQuoted(char* out, size_t limit, size_t* size, const char* tooLong);
    int ReadHexNumber(uint32_t* value);
    int ReadHexBytes();
    int ReadDword();
    int AppendData(uint8_t byte);
    int RestOfLineEmpty();

    RegSource source;
    uint8_t* raw;
    size_t rawLength;
    size_t rawAt;
    int rawEnded;
    int utf16;
    uint8_t pending[4]; // UTF-8 bytes of a decoded UTF-16 character still to hand out
    int pendingCount;
    int pendingAt;
    int peeked; // -2: nothing peeked
    char* keyPath;
    int haveKey;
    char* name;
    uint8_t* data;
    uint32_t dataLength;
    uint32_t dataCapacity;
    uint32_t line;
    RegFileFormat format;
    const char* error;
    uint32_t errorLine;
};
