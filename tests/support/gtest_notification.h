// GoogleTest's Notification for the win32 thread model, whose standard library has no std::mutex
// or std::condition_variable to build GoogleTest's own. Forced into every GoogleTest translation
// unit on Windows (cmake/GoogleTest.cmake). GoogleTest uses it only to start threads of its own
// tests; Velmora's tests start none.
#pragma once

#include <atomic>

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing {
namespace internal {

// Lets a controller thread release the threads that wait for it.
class Notification {
public:
    Notification() : notified(false) {}
    Notification(const Notification&) = delete;
    Notification& operator=(const Notification&) = delete;

    void Notify() { notified.store(true); }
    void WaitForNotification() {
        while (!notified.load()) {
        }
    }

private:
    std::atomic<bool> notified;
};

} // namespace internal
} // namespace testing
