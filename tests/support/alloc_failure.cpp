#include "support/alloc_failure.h"

#include <cstddef>
#include <new>

namespace {

// -1: not failing; otherwise the number of nothrow allocations still allowed to succeed.
int32_t allowed = -1;

int NextAllocationFails() {
    if (allowed < 0)
        return 0;
    if (allowed == 0)
        return 1;
    --allowed;
    return 0;
}

} // namespace

void FailAllocationsAfter(int32_t successes) {
    allowed = successes < 0 ? 0 : successes;
}

void StopFailingAllocations() {
    allowed = -1;
}

// The memory comes from the ordinary operator new, so the ordinary delete frees it.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    if (NextAllocationFails())
        return nullptr;
    try {
        return ::operator new(size);
    } catch (...) {
        return nullptr;
    }
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    if (NextAllocationFails())
        return nullptr;
    try {
        return ::operator new[](size);
    } catch (...) {
        return nullptr;
    }
}
