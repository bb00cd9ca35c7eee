#include "platform/shared_steps.h"

#include <chrono>
#include <thread>

namespace {

// Spinning stops after this long: far beyond the wait for an item, short enough
// that a thread preempted in one costs the waiter little of a processor.
constexpr std::chrono::milliseconds SPIN_LIMIT{20};
// Then the waiter sleeps this long between looks.
constexpr std::chrono::microseconds SLEEP{200};

// Gives the processor to any other thread that is ready to run on it: a new
// thread is at times placed on its creator's processor, and a spinning helper
// there would take its slices from the very thread it waits for.
void relax() { std::this_thread::yield(); }

}  // namespace

unsigned spin_wait_while(const std::atomic<unsigned>& value, unsigned old) {
    const auto until = std::chrono::steady_clock::now() + SPIN_LIMIT;
    for (unsigned spins = 1;; ++spins) {
        const unsigned now = value.load(std::memory_order_acquire);
        if (now != old) return now;
        relax();
        if (spins % 16 == 0 && std::chrono::steady_clock::now() > until) break;
    }
    for (;;) {
        std::this_thread::sleep_for(SLEEP);
        const unsigned now = value.load(std::memory_order_acquire);
        if (now != old) return now;
    }
}
