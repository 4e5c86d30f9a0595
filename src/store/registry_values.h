// How the registry compares names and stores numbers, for every piece that has to agree with it:
// names (of keys, of values, and of display devices alike) compare without regard to case for
// the ASCII letters and byte for byte otherwise; a REG_DWORD is four bytes, least significant
// first. Inline, so that every registry implementation can use them without linking the store.
#pragma once

#include <cstdint>

// The ASCII capital of `c`; any other byte is itself.
inline char UpperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// 1 when the two terminated names are the same without regard to ASCII case, else 0.
inline int EqualNoCase(const char* a, const char* b) {
    for (;; ++a, ++b) {
        if (UpperAscii(*a) != UpperAscii(*b))
            return 0;
        if (*a == '\0')
            return 1;
    }
}

// The number in four little-endian bytes.
inline uint32_t LittleEndian32(const uint8_t bytes[4]) {
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}
