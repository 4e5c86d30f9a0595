// One failure sweep for every test that fails registry calls on purpose, on the in-memory
// registry: call n fails once, for n = 0, 1, ... until the body runs without meeting the failure;
// then the same with call n and every later call failing, which is a process ended at call n:
// nothing after it reaches the registry.
#pragma once

#include "doubles/fake_registry.h"

#include <cstdint>
#include <functional>

// Where one run of the body met the injected failure.
struct SweepPoint {
    uint32_t call;                    // the first call that failed, counting from 0
    int persistent;                   // 1: every later call failed too
    MemoryRegistry::Operation failed; // which operation it was; OperationCount for the clean run
};

// A name for a trace: "call 7 (set) and every later call failed".
const char* SweepOperationName(MemoryRegistry::Operation op);

// For each pass (once, then from n on) and each n: prepare() sets the registry up anew, the call
// counters are zeroed, call n is made to fail, body() runs, and judge() gets its result and the
// point, with a trace that names it. The last run of each pass met no failure: judge() gets it
// too, with failed = OperationCount, and the pass ends. Every run must leave no key open.
// Returns how many runs met a failure.
uint32_t SweepFailures(const std::function<void()>& prepare, const std::function<int()>& body,
                       const std::function<void(int result, const SweepPoint& point)>& judge);
