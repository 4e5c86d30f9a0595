// The JSON writer of the --json forms.
#include "ctl/ctl_json.h"

#include <cstdio>
#include <cstring>

void CtlJson::BeforeValue() {
    if (afterKey) {
        afterKey = 0;
        return;
    }
    if (depth > 0 && !first[Level()])
        out.Text(",");
    if (depth > 0)
        first[Level()] = 0;
}

void CtlJson::Open(char bracket) {
    BeforeValue();
    out.Bytes(&bracket, 1);
    ++depth;
    first[Level()] = 1;
}

void CtlJson::Close(char bracket) {
    out.Bytes(&bracket, 1);
    if (depth > 0)
        --depth;
    if (depth == 0)
        out.EndLine();
}

void CtlJson::Key(const char* name) {
    BeforeValue();
    WriteString(name, std::strlen(name));
    out.Text(":");
    afterKey = 1;
}

void CtlJson::Text(const char* text) {
    if (!text)
        return Null();
    Bytes(text, std::strlen(text));
}

void CtlJson::Bytes(const char* text, size_t length) {
    BeforeValue();
    WriteString(text, length);
}

// Runs of plain characters are written whole; every other byte as its escape.
void CtlJson::WriteString(const char* text, size_t length) {
    out.Text("\"");
    size_t start = 0;
    for (size_t i = 0; i < length; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\')
            continue;
        out.Bytes(text + start, i - start);
        char escape[8];
        std::snprintf(escape, sizeof escape, "\\u%04x", c);
        out.Text(c == '"' ? "\\\"" : c == '\\' ? "\\\\" : escape);
        start = i + 1;
    }
    out.Bytes(text + start, length - start);
    out.Text("\"");
}

void CtlJson::Number(uint64_t number) {
    BeforeValue();
    out.Number(number);
}

void CtlJson::Hundredths(uint64_t hundredths) {
    BeforeValue();
    out.Hundredths(hundredths);
}

void CtlJson::Fixed(double value, unsigned places) {
    BeforeValue();
    out.Fixed(value, places);
}

void CtlJson::Bool(int value) {
    BeforeValue();
    out.Text(value ? "true" : "false");
}

void CtlJson::Null() {
    BeforeValue();
    out.Text("null");
}
