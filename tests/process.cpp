#include "tests/process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

process_result run_process(const std::vector<std::string>& argv, const process_options& options) {
    process_result result;
    if (argv.empty()) {
        ADD_FAILURE() << "run_process: no program";
        return result;
    }
    // exec_pipe stays open in the child only until exec succeeds (close-on-exec);
    // a failed exec writes its errno there.
    int in_pipe[2], out_pipe[2], err_pipe[2], exec_pipe[2];
    if (pipe2(in_pipe, O_CLOEXEC) != 0 || pipe2(out_pipe, O_CLOEXEC) != 0 || pipe2(err_pipe, O_CLOEXEC) != 0 ||
        pipe2(exec_pipe, O_CLOEXEC) != 0) {
        ADD_FAILURE() << "run_process: pipe: " << std::strerror(errno);
        return result;
    }
    // A child that ends without reading its input must not take the test with it.
    signal(SIGPIPE, SIG_IGN);
    std::vector<char*> words;
    for (const std::string& w : argv) words.push_back(const_cast<char*>(w.c_str()));
    words.push_back(nullptr);

    const pid_t pid = fork();
    if (pid < 0) {
        ADD_FAILURE() << "run_process: fork: " << std::strerror(errno);
        return result;
    }
    if (pid == 0) {
        // Child: only async-signal-safe calls from here to exec.
        dup2(in_pipe[0], 0);
        dup2(out_pipe[1], 1);
        dup2(err_pipe[1], 2);
        if (!options.cwd.empty() && chdir(options.cwd.c_str()) != 0) {
            const int error = errno;
            if (write(exec_pipe[1], &error, sizeof error) < 0) {}
            _exit(127);
        }
        if (options.file_size_limit >= 0) {
            signal(SIGXFSZ, SIG_IGN);  // a write past the limit then fails with EFBIG
            const rlimit limit{rlim_t(options.file_size_limit), rlim_t(options.file_size_limit)};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        signal(SIGPIPE, SIG_DFL);
        if (options.uid >= 0 && (setgid(gid_t(options.uid)) != 0 || setuid(uid_t(options.uid)) != 0)) {
            const int error = errno;
            if (write(exec_pipe[1], &error, sizeof error) < 0) {}
            _exit(127);
        }
        if (options.alarm_seconds > 0) alarm(unsigned(options.alarm_seconds));  // lasts across exec
        execv(words[0], words.data());
        const int error = errno;
        if (write(exec_pipe[1], &error, sizeof error) < 0) {}
        _exit(127);
    }
    close(in_pipe[0]);
    close(out_pipe[1]);
    close(err_pipe[1]);
    close(exec_pipe[1]);
    int exec_error = 0;
    const bool exec_failed = read(exec_pipe[0], &exec_error, sizeof exec_error) == sizeof exec_error;
    close(exec_pipe[0]);
    if (exec_failed) ADD_FAILURE() << "run_process: cannot run " << argv[0] << ": " << std::strerror(exec_error);

    // Feed stdin and drain both outputs together, so that no pipe fills up and
    // stalls the child.
    std::size_t fed = 0;
    int in_fd = in_pipe[1];
    if (options.input.empty()) {
        close(in_fd);
        in_fd = -1;
    }
    int out_fd = out_pipe[0], err_fd = err_pipe[0];
    char buffer[65536];
    const auto started = std::chrono::steady_clock::now();
    bool signal_sent = options.signal_after_ms < 0;
    while (out_fd >= 0 || err_fd >= 0 || in_fd >= 0) {
        pollfd fds[3] = {{out_fd, POLLIN, 0}, {err_fd, POLLIN, 0}, {in_fd, POLLOUT, 0}};
        int wait_ms = -1;
        if (!signal_sent) {
            const auto passed = std::chrono::duration_cast<std::chrono::milliseconds>(
                std::chrono::steady_clock::now() - started).count();
            if (passed >= options.signal_after_ms) {
                kill(pid, options.signal_to_send);
                signal_sent = true;
            } else {
                wait_ms = int(options.signal_after_ms - passed);
            }
        }
        const int ready = poll(fds, 3, wait_ms);
        if (ready == 0) continue;
        if (ready < 0) {
            if (errno == EINTR) continue;
            break;
        }
        for (int i = 0; i < 2; ++i) {
            int& fd = i == 0 ? out_fd : err_fd;
            if (fd < 0 || fds[i].revents == 0) continue;
            const ssize_t n = read(fd, buffer, sizeof buffer);
            if (n > 0) {
                (i == 0 ? result.out : result.err).append(buffer, std::size_t(n));
            } else if (n == 0 || errno != EINTR) {
                close(fd);
                fd = -1;
            }
        }
        if (in_fd >= 0 && fds[2].revents != 0) {
            const ssize_t n = (fds[2].revents & POLLOUT) ? write(in_fd, options.input.data() + fed, options.input.size() - fed) : -1;
            if (n > 0) fed += std::size_t(n);
            if (n < 0 || fed == options.input.size()) {
                close(in_fd);
                in_fd = -1;
            }
        }
    }

    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    result.max_rss_kb = usage.ru_maxrss;
    if (WIFEXITED(status)) {
        result.exit_status = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
    }
    return result;
}

process_result run_process(const std::vector<std::string>& argv, const std::string& cwd) {
    process_options options;
    options.cwd = cwd;
    return run_process(argv, options);
}

temp_dir::temp_dir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/mapgen-test.XXXXXX";
    if (!mkdtemp(pattern.data())) ADD_FAILURE() << "mkdtemp: " << std::strerror(errno);
    path_ = pattern;
}

temp_dir::~temp_dir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> list_dir(const std::string& path) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(path, error))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}
