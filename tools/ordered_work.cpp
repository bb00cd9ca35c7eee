#include "tools/ordered_work.h"

#include <sched.h>

int processor_count() {
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0) return CPU_COUNT(&set);
    const unsigned n = std::thread::hardware_concurrency();
    return n > 0 ? int(n) : 1;
}

bool read_jobs(const std::string& text, int* jobs) {
    if (text.empty() || text.size() > 4 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    *jobs = std::stoi(text);
    return *jobs >= 1 && *jobs <= MAX_JOBS;
}

bool jobs_option(const std::optional<std::string>& text, int* jobs, std::string* why) {
    *jobs = processor_count();
    if (!text || read_jobs(*text, jobs)) return true;
    *why = "-j takes a whole number from 1 to " + std::to_string(MAX_JOBS) + ", not '" + *text + "'";
    return false;
}

void block_cleanup_signals(bool block, sigset_t* old) {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    pthread_sigmask(block ? SIG_BLOCK : SIG_SETMASK, block ? &set : old, block ? old : nullptr);
}
