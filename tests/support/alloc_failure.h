// Makes `new (std::nothrow)` fail on demand, so that tests can reach the out-of-memory paths of
// code that promises 0 for them. Linking velmora_test_alloc replaces the nothrow forms of
// operator new for the whole test executable; the throwing forms (used by GoogleTest and the
// standard library) are untouched.
#pragma once

#include <cstdint>

// From now on the first `successes` nothrow allocations succeed and every later one fails.
void FailAllocationsAfter(int32_t successes);

// Ends the failing: every allocation succeeds again.
void StopFailingAllocations();

// Fails every nothrow allocation for the lifetime of the object.
class ScopedAllocationFailure {
public:
    explicit ScopedAllocationFailure(int32_t successes = 0) { FailAllocationsAfter(successes); }
    ~ScopedAllocationFailure() { StopFailingAllocations(); }
    ScopedAllocationFailure(const ScopedAllocationFailure&) = delete;
    ScopedAllocationFailure& operator=(const ScopedAllocationFailure&) = delete;
};
