// Runs a program once and prints what the run cost, on one line:
//
//   wall_ms cpu_ms max_rss_kib minor_faults exit_status
//
// wall from just before the fork to the end of the wait, CPU as user + system time
// of the program, peak resident memory and minor page faults as the kernel counts
// them for it (what /usr/bin/time reports, without /usr/bin/time's own start-up
// in the times). The program's standard output goes to /dev/null.
//
//   run_measured [-t] PROGRAM [ARGUMENTS...]
//     -t  without transparent huge pages, whatever the program asks for
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

double milliseconds(const timeval& t) { return double(t.tv_sec) * 1e3 + double(t.tv_usec) / 1e3; }

double now_ms() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    int first = 1;
    const bool no_huge_pages = argc > 1 && std::strcmp(argv[1], "-t") == 0;
    if (no_huge_pages) ++first;
    if (first >= argc) {
        std::fprintf(stderr, "Usage: run_measured [-t] PROGRAM [ARGUMENTS...]\n");
        return 2;
    }

    const double start = now_ms();
    const pid_t child = fork();
    if (child < 0) {
        std::fprintf(stderr, "run_measured: cannot fork: %s\n", std::strerror(errno));
        return 1;
    }
    if (child == 0) {
        const int null = open("/dev/null", O_WRONLY);
        if (null >= 0) dup2(null, STDOUT_FILENO);
        // Inherited by the program and kept across execve; it overrides madvise.
        if (no_huge_pages && prctl(PR_SET_THP_DISABLE, 1, 0, 0, 0) != 0) {
            std::fprintf(stderr, "run_measured: cannot turn huge pages off: %s\n", std::strerror(errno));
            _exit(127);
        }
        execvp(argv[first], argv + first);
        std::fprintf(stderr, "run_measured: cannot run '%s': %s\n", argv[first], std::strerror(errno));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    while (wait4(child, &status, 0, &usage) < 0) {
        if (errno != EINTR) {
            std::fprintf(stderr, "run_measured: cannot wait: %s\n", std::strerror(errno));
            return 1;
        }
    }
    const double wall = now_ms() - start;
    const int exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    std::printf("%.3f %.3f %ld %ld %d\n", wall, milliseconds(usage.ru_utime) + milliseconds(usage.ru_stime),
                usage.ru_maxrss, usage.ru_minflt, exit_status);
    return exit_status == 0 ? 0 : 1;
}
