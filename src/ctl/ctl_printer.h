// What a run of velmoractl hands back to its caller: its text, through two streams, and its exit
// code. Every file of the console includes this one, and it includes nothing of the console.
#pragma once

#include <cstddef>
#include <cstdint>

enum CtlExitCode { CtlDone = 0, CtlProblems = 1, CtlUsage = 2, CtlSystem = 3, CtlRefused = 4 };

// Where text goes. write returns 1 when all `length` bytes were taken, 0 otherwise.
struct CtlStream {
    int (*write)(void* context, const char* text, size_t length);
    void* context;
};

// A stream over a FILE* given as the context.
int CtlWriteToFile(void* context, const char* text, size_t length);

// Writes text to a stream and remembers whether any of it was lost.
class CtlPrinter {
public:
    explicit CtlPrinter(CtlStream stream) : stream(stream), failed(0) {}

    void Text(const char* text);
    void Bytes(const char* text, size_t length);
    // Text from outside the program (names, paths, file names): control characters and DEL are
    // written as '?', so that no byte of it can steer the terminal.
    void Printable(const char* text);
    void Number(uint64_t number);
    // A number of hundredths with two decimals.
    void Hundredths(uint64_t hundredths);
    // A figure with `places` decimals (at most 9), rounded to nearest, its sign written when it
    // is negative (and, with `plus`, "+" otherwise), by integers: the console carries no
    // floating-point formatting. A magnitude of 10^12 or more, or one that is not a number, is
    // written as that bound and counts as lost.
    void Fixed(double value, unsigned places, int plus = 0);
    // printf-style into a bounded buffer; a text that would not fit is not written at all and
    // counts as lost.
    void Format(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void EndLine() { Bytes("\n", 1); }

    int Failed() const { return failed; }

private:
    CtlStream stream;
    int failed;
};
