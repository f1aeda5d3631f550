// Thin layers over the system calls: whole writes, deadlines, signals that
// must not kill the caller, descriptors kept off the standard streams;
// provided by os_helpers.cpp.
#ifndef PLOT_CONTROL_OS_HELPERS_H
#define PLOT_CONTROL_OS_HELPERS_H

#include <csignal>
#include <cstddef>
#include <string>

namespace plot_control {

// When a wait gives up: after some milliseconds, or never.
class Deadline {
public:
    // timeout_ms from now; a negative timeout_ms never passes.
    explicit Deadline(int timeout_ms);
    bool unlimited() const { return at_ns_ < 0; }
    // What poll() takes: -1 without a limit, 0 once passed.
    int left_ms() const;

private:
    long long at_ns_; // on the monotonic clock
};

// A write must not kill the caller: SIGPIPE when gnuplot has ended, SIGXFSZ
// when a data file passes the caller's file size limit; their writes fail
// instead. The process-wide disposition is the caller's, so the signal is
// blocked in this thread while an object of this lives, and one its writes
// raised is consumed.
class SignalBlock {
public:
    explicit SignalBlock(int signal);
    ~SignalBlock();
    SignalBlock(const SignalBlock &) = delete;
    SignalBlock &operator=(const SignalBlock &) = delete;

private:
    sigset_t signal_{};
    sigset_t saved_mask_{};
    bool already_pending_ = false;
};

// Writes every byte, retrying short writes and EINTR. False on failure.
bool write_all(int fd, const char *data, std::size_t size);

// Appends what a non-blocking descriptor has to read, without waiting.
void read_available(int fd, std::string &into);

// A descriptor the library keeps is never 0, 1 or 2: with the caller's
// standard streams closed, it would take their place, and whatever the
// program prints would reach it. Returns fd, or its close-on-exec copy
// above 2 (the original closed); -1 when none can be made.
int move_off_standard_streams(int fd);

} // namespace plot_control

#endif
