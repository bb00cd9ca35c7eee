// Work that the few threads making one map share: steps in a fixed order, each of
// a few items that any of the threads may take. A thread takes items until none
// of a step is left, waits until the items the others took are done, and goes on
// to the next step. Nobody waits for a thread to arrive: one that starts late
// (a new thread can take milliseconds to be scheduled on a virtual machine) joins
// at the step the others have reached, and one thread alone does all the work.
//
// A thread waits spinning, not on a futex: waking a halted virtual processor took
// up to several milliseconds on the machine this was measured on, against waits
// of well under one. Only a wait that runs long (a thread preempted in its item)
// falls asleep, and then looks again every 200 microseconds: so nobody needs to
// be woken, and the library keeps no process-wide table of sleepers.
#pragma once

#include <array>
#include <atomic>

/// Waits until value is no longer old, spinning first and then sleeping between
/// looks; returns the new value, read with acquire ordering. Whoever changes the
/// value need not wake anyone.
unsigned spin_wait_while(const std::atomic<unsigned>& value, unsigned old);

template <int STEPS>
class shared_steps {
  public:
    /// items[s]: how many items step s has (at least 0).
    explicit shared_steps(const std::array<int, STEPS>& items) : items_(items) {}
    shared_steps(const shared_steps&) = delete;
    shared_steps& operator=(const shared_steps&) = delete;

    /// Takes items step by step and calls run(step, item) for each; returns once
    /// every item of every step is done. Each item is run exactly once, by one of
    /// the callers, and no item of a step starts before every item of the step
    /// before is done; what one item wrote is seen by all later steps' items.
    /// Any number of threads may call this, at any time.
    template <class Run>
    void work(Run&& run) {
        for (int step = 0; step < STEPS; ++step) {
            const unsigned count = unsigned(items_[step]);
            for (unsigned item; (item = taken_[step].fetch_add(1, std::memory_order_relaxed)) < count;) {
                run(step, int(item));
                done_[step].fetch_add(1, std::memory_order_release);
            }
            for (unsigned done = done_[step].load(std::memory_order_acquire); done < count;)
                done = spin_wait_while(done_[step], done);
        }
    }

  private:
    const std::array<int, STEPS> items_;
    std::array<std::atomic<unsigned>, STEPS> taken_{};
    std::array<std::atomic<unsigned>, STEPS> done_{};
};
