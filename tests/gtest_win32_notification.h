// GoogleTest's Notification for GCC's win32 thread model.
//
// GoogleTest builds its Notification on std::mutex and std::condition_variable,
// which libstdc++ provides for the win32 thread model only from GCC 13 on.
// GoogleTest takes a Notification from outside when GTEST_HAS_NOTIFICATION_ is
// set; this one waits on an atomic flag. GoogleTest uses it only to start the
// threads of its own thread tests, never in this project's tests.
#ifndef IMGRESIZE_GTEST_WIN32_NOTIFICATION_H
#define IMGRESIZE_GTEST_WIN32_NOTIFICATION_H

#include <atomic>

namespace testing {
namespace internal {

class Notification {
public:
    Notification() = default;
    Notification(const Notification &) = delete;
    Notification &operator=(const Notification &) = delete;

    void Notify() { notified_.store(true, std::memory_order_release); }

    void WaitForNotification()
    {
        while (!notified_.load(std::memory_order_acquire)) {
        }
    }

private:
    std::atomic<bool> notified_{false};
};

} // namespace internal
} // namespace testing

#endif
