// Thin layers over the system calls, shared by every file that writes,
// waits or keeps a descriptor.
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <ctime>

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include "internal/os_helpers.h"

namespace plot_control {
namespace {

long long monotonic_ns() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000000000LL + now.tv_nsec;
}

} // namespace

// The signal is blocked in this thread for the object's life, and one that
// its writes made pending is consumed before the old mask comes back.
SignalBlock::SignalBlock(int signal) {
    sigemptyset(&signal_);
    sigaddset(&signal_, signal);
    sigset_t pending;
    sigpending(&pending);
    already_pending_ = sigismember(&pending, signal) == 1;
    pthread_sigmask(SIG_BLOCK, &signal_, &saved_mask_);
}

SignalBlock::~SignalBlock() {
    if (!already_pending_) {
        const timespec no_wait{};
        sigtimedwait(&signal_, nullptr, &no_wait);
    }
    pthread_sigmask(SIG_SETMASK, &saved_mask_, nullptr);
}

void read_available(int fd, std::string &into) {
    char chunk[4096];
    ssize_t got;
    while ((got = read(fd, chunk, sizeof chunk)) > 0 || (got < 0 && errno == EINTR)) {
        if (got > 0)
            into.append(chunk, static_cast<std::size_t>(got));
    }
}

int move_off_standard_streams(int fd) {
    if (fd > STDERR_FILENO || fd < 0)
        return fd;
    const int moved = fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    close(fd);
    return moved;
}

bool write_all(int fd, const char *data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = write(fd, data, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

Deadline::Deadline(int timeout_ms)
    : at_ns_(timeout_ms < 0 ? -1 : monotonic_ns() + timeout_ms * 1000000LL) {}

// Rounded up, so that a wait never ends before its time.
int Deadline::left_ms() const {
    if (unlimited())
        return -1;
    const long long left_ns = std::max(0LL, at_ns_ - monotonic_ns());
    return static_cast<int>((left_ns + 999999) / 1000000);
}

} // namespace plot_control
