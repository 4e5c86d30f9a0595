// How the registry compares names, for every piece that has to agree with it: names (of keys, of
// values, and of display devices alike) compare without regard to case for the ASCII letters and
// byte for byte otherwise. Inline, so that every registry implementation can use them without
// linking the store.
#pragma once

#include <cstddef>

// The ASCII capital of `c`; any other byte is itself.
inline char UpperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// The order of two terminated names as the registry sees them, by their bytes with the ASCII
// letters as capitals: below 0 when a comes first, 0 when they are the same name, above 0 after.
inline int CompareNoCase(const char* a, const char* b) {
    for (;; ++a, ++b) {
        const unsigned char x = static_cast<unsigned char>(UpperAscii(*a));
        const unsigned char y = static_cast<unsigned char>(UpperAscii(*b));
        if (x != y)
            return x < y ? -1 : 1;
        if (x == 0)
            return 0;
    }
}

// 1 when the two terminated names are the same without regard to ASCII case, else 0.
inline int EqualNoCase(const char* a, const char* b) {
    return CompareNoCase(a, b) == 0;
}

// 1 when the terminated `text` begins with the first `length` bytes of `prefix` without regard
// to ASCII case, else 0.
inline int StartsWithNoCase(const char* text, const char* prefix, size_t length) {
    for (size_t i = 0; i < length; ++i)
        if (UpperAscii(text[i]) != UpperAscii(prefix[i]) || text[i] == '\0')
            return 0;
    return 1;
}
