// Shared by the fuzz targets: a law that does not hold aborts the run with its text, so that
// libFuzzer keeps the input as a crash; and a reader that turns the fuzz input into numbers and
// byte strings, giving zeros once the input is used up.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: law broken: %s\n", __FILE__, __LINE__, #condition);       \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)

class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size) : data(data), size(size), at(0) {}

    size_t Left() const { return size - at; }

    uint8_t Byte() { return at < size ? data[at++] : 0; }

    uint16_t U16() {
        uint16_t low = Byte();
        return static_cast<uint16_t>(low | Byte() << 8);
    }

    uint32_t U32() {
        uint32_t low = U16();
        return low | static_cast<uint32_t>(U16()) << 16;
    }

    // `length` bytes: as many as the input still has, then the input's bytes from the start
    // over again (zeros when it is empty), so that a short input can stand for a long value.
    std::string Bytes(size_t length) {
        std::string out;
        out.reserve(length);
        size_t direct = length < Left() ? length : Left();
        out.append(reinterpret_cast<const char*>(data + at), direct);
        at += direct;
        if (size == 0)
            out.resize(length, '\0');
        while (out.size() < length) {
            size_t more = length - out.size() < size ? length - out.size() : size;
            out.append(reinterpret_cast<const char*>(data), more);
        }
        return out;
    }

private:
    const uint8_t* data;
    size_t size;
    size_t at;
};
