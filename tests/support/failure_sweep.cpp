#include "support/failure_sweep.h"

#include <gtest/gtest.h>

namespace {

// More calls than any operation of the store makes: a body that never runs clean is a fault.
const uint32_t MostCalls = 100000;

} // namespace

const char* SweepOperationName(MemoryRegistry::Operation op) {
    static const char* const names[] = {"open",           "create", "count",  "enumerate",
                                        "query",          "set",    "delete", "delete key",
                                        "enumerate keys", "close",  "any",    "none"};
    return op <= MemoryRegistry::OperationCount ? names[op] : "?";
}

uint32_t SweepFailures(const std::function<void()>& prepare, const std::function<int()>& body,
                       const std::function<void(int, const SweepPoint&)>& judge) {
    uint32_t points = 0;
    for (int persistent = 0; persistent < 2; ++persistent) {
        for (uint32_t n = 0;; ++n) {
            prepare();
            MemoryRegistry::ResetCounters();
            MemoryRegistry::FailCall(MemoryRegistry::OpAny, n, persistent);
            const int result = body();
            const SweepPoint point{n, persistent, MemoryRegistry::FirstInjectedFailure()};
            MemoryRegistry::ClearFailures();
            const bool clean = point.failed == MemoryRegistry::OperationCount;
            SCOPED_TRACE(::testing::Message()
                         << (clean ? "clean run after call " : "call ") << n << " ("
                         << SweepOperationName(point.failed) << ")"
                         << (persistent ? " and every later call" : "") << " failed");
            EXPECT_EQ(0, MemoryRegistry::OpenHandles());
            judge(result, point);
            if (clean)
                break;
            ++points;
            if (n >= MostCalls) {
                ADD_FAILURE() << "the body never ran clean";
                break;
            }
        }
    }
    return points;
}
