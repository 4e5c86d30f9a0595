// One JSON document written as it goes, for the --json forms of the reading commands. Text of any
// bytes comes out valid: quotes, backslashes and control characters are escaped, and every byte
// of 0x80 or more is written as \u00XX (the byte read as Latin-1), so that stored data that is
// not UTF-8 can never make the document invalid. Numbers are written as JSON numbers.
#pragma once

#include "ctl/ctl_printer.h"

#include <cstddef>
#include <cstdint>

class CtlJson {
public:
    explicit CtlJson(CtlPrinter& out) : out(out), depth(0), first{1} {}

    // An object or array opened or closed; Key names the next value of an object.
    void Open(char bracket);
    void Close(char bracket);
    void Key(const char* name);

    void Text(const char* text);
    void Bytes(const char* text, size_t length);
    void Number(uint64_t number);
    // A number of hundredths, such as 31.48.
    void Hundredths(uint64_t hundredths);
    // A figure with `places` decimals, as CtlPrinter::Fixed writes it.
    void Fixed(double value, unsigned places);
    void Bool(int value);
    void Null();

    // Key then value, the common case.
    void Field(const char* name, const char* text) { Key(name), Text(text); }
    void Field(const char* name, uint64_t number) { Key(name), Number(number); }
    void Field(const char* name, uint32_t number) { Key(name), Number(number); }

private:
    void BeforeValue();
    void WriteString(const char* text, size_t length);
    // The slot of the open level; our documents nest a few levels, far below the slots.
    int Level() const { return depth < 15 ? depth : 15; }

    CtlPrinter& out;
    int depth;
    int first[16]; // per open level: no value written yet (our documents nest a few levels)
    int afterKey = 0;
};
