// Runs a program with transparent huge pages turned off for it and everything it
// starts, whatever it asks for with madvise: for measuring what huge pages save.
//
//   without_thp PROGRAM [ARGUMENTS...]
#include <sys/prctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "Usage: without_thp PROGRAM [ARGUMENTS...]\n");
        return 2;
    }
    // Inherited across fork and kept across execve.
    if (prctl(PR_SET_THP_DISABLE, 1, 0, 0, 0) != 0) {
        std::fprintf(stderr, "without_thp: cannot turn huge pages off: %s\n", std::strerror(errno));
        return 1;
    }
    execvp(argv[1], argv + 1);
    std::fprintf(stderr, "without_thp: cannot run '%s': %s\n", argv[1], std::strerror(errno));
    return 1;
}
