#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

#include "mapfile/safe_write_parts.h"

namespace safe_write_detail {
namespace {

// While a named temporary file exists, pending_name holds its name in the
// directory pending_dir. Both are set and cleared with the signals below blocked,
// and only read by the handler.
volatile sig_atomic_t pending_active = 0;
int pending_dir = -1;
char pending_name[NAME_MAX + 1];

constexpr int CLEANUP_SIGNALS[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction previous_actions[3];
bool handler_installed[3];

extern "C" void remove_temporary_and_resignal(int signal_number) {
    if (pending_active) unlinkat(pending_dir, pending_name, 0);
    pending_active = 0;
    for (int i = 0; i < 3; ++i)
        if (CLEANUP_SIGNALS[i] == signal_number) sigaction(signal_number, &previous_actions[i], nullptr);
    // Delivered again once the handler returns, now with its usual effect.
    raise(signal_number);
}

void block_cleanup_signals(sigset_t* old) {
    sigset_t set;
    sigemptyset(&set);
    for (int s : CLEANUP_SIGNALS) sigaddset(&set, s);
    sigprocmask(SIG_BLOCK, &set, old);
}

}  // namespace

cleanup_on_signals::cleanup_on_signals() {
    for (int i = 0; i < 3; ++i) {
        handler_installed[i] = false;
        if (sigaction(CLEANUP_SIGNALS[i], nullptr, &previous_actions[i]) != 0) continue;
        if (previous_actions[i].sa_handler != SIG_DFL || (previous_actions[i].sa_flags & SA_SIGINFO)) continue;
        struct sigaction ours {};
        ours.sa_handler = remove_temporary_and_resignal;
        sigemptyset(&ours.sa_mask);
        for (int s : CLEANUP_SIGNALS) sigaddset(&ours.sa_mask, s);
        handler_installed[i] = sigaction(CLEANUP_SIGNALS[i], &ours, nullptr) == 0;
    }
}

cleanup_on_signals::~cleanup_on_signals() {
    for (int i = 0; i < 3; ++i)
        if (handler_installed[i]) sigaction(CLEANUP_SIGNALS[i], &previous_actions[i], nullptr);
}

bool link_unnamed(int fd, int dir, const char* name) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    if (linkat(AT_FDCWD, self.c_str(), dir, name, AT_SYMLINK_FOLLOW) == 0) return true;
    if (errno != ENOENT) return false;
    return linkat(fd, "", dir, name, AT_EMPTY_PATH) == 0;
}

int make_named_temporary(const write_target& target, int fd, std::string* temp) {
    std::string base = target.name;
    if (base.size() > 200) base.resize(200);  // room for the suffix within NAME_MAX
    for (int attempt = 0; attempt < 100; ++attempt) {
        *temp = "." + base + "." + std::to_string(getpid()) + "-" + std::to_string(attempt) + ".tmp";
        sigset_t old;
        block_cleanup_signals(&old);
        int made = -1;
        if (fd < 0) {
            made = openat(target.dir.fd, temp->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        } else if (link_unnamed(fd, target.dir.fd, temp->c_str())) {
            made = fd;
        }
        const int error = errno;
        if (made >= 0) {
            pending_dir = target.dir.fd;
            std::memcpy(pending_name, temp->c_str(), temp->size() + 1);
            pending_active = 1;
        }
        sigprocmask(SIG_SETMASK, &old, nullptr);
        if (made >= 0 || error != EEXIST) {
            errno = error;
            return made;
        }
    }
    return -1;  // errno is EEXIST
}

void drop_named_temporary(const write_target& target, const std::string& temp, bool unlink) {
    sigset_t old;
    block_cleanup_signals(&old);
    if (unlink) unlinkat(target.dir.fd, temp.c_str(), 0);
    pending_active = 0;
    sigprocmask(SIG_SETMASK, &old, nullptr);
}

}  // namespace safe_write_detail
