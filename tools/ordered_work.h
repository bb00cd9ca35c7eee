// Work on many items spread over threads, each item's result taken on the
// calling thread in the items' order: the commands that make many maps or pages
// do the heavy part on every processor and write on one thread, since the safe
// writer's cleanup of a temporary file on SIGINT, SIGTERM or SIGHUP belongs to
// the process, and keep their files and messages in a fixed order.
#pragma once

#include <signal.h>

#include <condition_variable>
#include <cstddef>
#include <exception>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

/// The most threads -j takes.
constexpr int MAX_JOBS = 1024;

/// The processors this process may run on.
int processor_count();

/// N of -j N: a whole decimal number from 1 to MAX_JOBS.
bool read_jobs(const std::string& text, int* jobs);

/// The threads of a command's -j option: its N, or the processor count when it
/// was not given. False, with the usage error's text in *why, for a bad N.
bool jobs_option(const std::optional<std::string>& text, int* jobs, std::string* why);

/// Blocks (block true, the mask before in *old) or restores (from *old) the
/// signals on which the safe writer removes the temporary file it has named.
void block_cleanup_signals(bool block, sigset_t* old);

/// Runs make(i) for each i in 0..count on up to threads worker threads, and
/// take(i, result) on the calling thread in the order of i as each result is
/// ready. At most two results a thread are made ahead of take, so memory stays a
/// few items a thread however many items there are. Once take returns false no
/// further item is made, and the call returns false. The workers block the
/// safe writer's signals, which then reach the calling thread. When no thread can
/// be started, the items are made on the calling thread. An exception from make
/// or take ends the work and is thrown again here once the workers have stopped.
template <class Result, class Make, class Take>
bool run_in_order(std::size_t count, int threads, const Make& make, const Take& take) {
    struct outcome {
        std::optional<Result> result;
        std::exception_ptr error;
    };
    std::mutex mutex;
    std::condition_variable ready, room;
    std::map<std::size_t, outcome> done;
    std::size_t next = 0, taken = 0;
    bool stopped = false;
    const std::size_t ahead = 2 * std::size_t(threads < 1 ? 1 : threads);

    auto work = [&] {
        for (;;) {
            std::size_t index;
            {
                std::unique_lock<std::mutex> lock(mutex);
                room.wait(lock, [&] { return stopped || next == count || next < taken + ahead; });
                if (stopped || next == count) return;
                index = next++;
            }
            outcome out;
            try {
                out.result.emplace(make(index));
            } catch (...) {
                out.error = std::current_exception();
            }
            {
                const std::lock_guard<std::mutex> lock(mutex);
                done.emplace(index, std::move(out));
            }
            ready.notify_one();
        }
    };

    std::vector<std::thread> workers;
    sigset_t old_mask;
    block_cleanup_signals(true, &old_mask);
    for (int i = 0; i < threads && std::size_t(i) < count; ++i) {
        try {
            workers.emplace_back(work);
        } catch (const std::system_error&) {
            break;  // as many as the system gives do the work
        }
    }
    block_cleanup_signals(false, &old_mask);
    if (workers.empty()) {
        for (std::size_t i = 0; i < count; ++i) {
            Result result = make(i);
            if (!take(i, result)) return false;
        }
        return true;
    }

    bool ok = true;
    std::exception_ptr error;
    for (std::size_t i = 0; i < count && ok && !error; ++i) {
        std::unique_lock<std::mutex> lock(mutex);
        ready.wait(lock, [&] { return done.count(i) != 0; });
        outcome out = std::move(done.extract(i).mapped());
        taken = i + 1;
        lock.unlock();
        room.notify_all();
        if (out.error) {
            error = out.error;
            break;
        }
        try {
            ok = take(i, *out.result);
        } catch (...) {
            error = std::current_exception();
        }
    }
    {
        const std::lock_guard<std::mutex> lock(mutex);
        stopped = true;
    }
    room.notify_all();
    for (std::thread& t : workers) t.join();
    if (error) std::rethrow_exception(error);
    return ok;
}
