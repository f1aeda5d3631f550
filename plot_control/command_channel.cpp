// The command channel: every byte the library sends to gnuplot goes out here.
#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <stdio_ext.h>
#include <unistd.h>

#include "internal.h"

namespace chartlink {
namespace {

// A gnuplot that has ended must not kill its caller through SIGPIPE, yet the
// process-wide disposition is the caller's. So SIGPIPE is blocked in this
// thread for the length of a write, and one that the write made pending is
// consumed before the old mask comes back.
class SigpipeBlock {
public:
    SigpipeBlock() {
        sigemptyset(&sigpipe_);
        sigaddset(&sigpipe_, SIGPIPE);
        sigset_t pending;
        sigpending(&pending);
        already_pending_ = sigismember(&pending, SIGPIPE) == 1;
        pthread_sigmask(SIG_BLOCK, &sigpipe_, &saved_mask_);
    }

    ~SigpipeBlock() {
        if (!already_pending_) {
            const timespec no_wait{};
            sigtimedwait(&sigpipe_, nullptr, &no_wait);
        }
        pthread_sigmask(SIG_SETMASK, &saved_mask_, nullptr);
    }

    SigpipeBlock(const SigpipeBlock &) = delete;
    SigpipeBlock &operator=(const SigpipeBlock &) = delete;

private:
    sigset_t sigpipe_{};
    sigset_t saved_mask_{};
    bool already_pending_ = false;
};

// Bytes the caller wrote to command_stream itself go before ours. stdio
// drops what an interrupted write did not take, so no signal may interrupt
// this flush; it happens only when the caller left something buffered.
void flush_callers_bytes(FILE *stream) {
    if (__fpending(stream) == 0)
        return;
    sigset_t all, saved;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, &saved);
    std::fflush(stream);
    pthread_sigmask(SIG_SETMASK, &saved, nullptr);
}

// One attempt that takes the whole line or nothing: a line is shorter than
// PIPE_BUF, so a write into a pipe without room fails with EAGAIN.
bool write_if_room(int fd, const char *data, std::size_t size) {
    const int flags = fcntl(fd, F_GETFL);
    fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    ssize_t written;
    do
        written = write(fd, data, size);
    while (written < 0 && errno == EINTR);
    const int saved_errno = errno;
    fcntl(fd, F_SETFL, flags);
    errno = saved_errno;
    return written == static_cast<ssize_t>(size);
}

// Waits until the pipe has room or the deadline passes; false without room.
bool room_by(int fd, const Deadline &deadline) {
    for (;;) {
        pollfd pipe{fd, POLLOUT, 0};
        const int ready = poll(&pipe, 1, deadline.left_ms());
        if (ready > 0)
            return (pipe.revents & POLLOUT) != 0;
        if (ready == 0 || errno != EINTR)
            return false;
    }
}

bool write_by(int fd, const char *data, std::size_t size, const Deadline &deadline) {
    if (deadline.unlimited())
        return write_all(fd, data, size);
    while (!write_if_room(fd, data, size)) {
        if (errno != EAGAIN || !room_by(fd, deadline))
            return false;
    }
    return true;
}

long long monotonic_ms() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000LL + now.tv_nsec / 1000000;
}

// Formats into line; false, with the message, when the result cannot be
// sent as one command line.
bool format_command(CommandLine &line, const char *format, va_list args) {
    const int length = std::vsnprintf(line.text, sizeof line.text, format, args);
    if (length < 0) {
        std::fputs("cannot format command: not sent\n", stderr);
        return false;
    }
    if (length > CHARTLINK_MAX_COMMAND_LENGTH) {
        std::fputs("command too long: not sent\n", stderr);
        return false;
    }
    return true;
}

} // namespace

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

bool format_own_command(CommandLine &line, const char *format, ...) {
    va_list args;
    va_start(args, format);
    const bool formatted = format_command(line, format, args);
    va_end(args);
    if (!formatted)
        return false;
    if (std::strchr(line.text, '\n') != nullptr) {
        std::fputs("command holds a line break: not sent\n", stderr);
        return false;
    }
    return true;
}

Deadline::Deadline(int timeout_ms) : at_ms_(timeout_ms < 0 ? -1 : monotonic_ms() + timeout_ms) {}

int Deadline::left_ms() const {
    return unlimited() ? -1 : static_cast<int>(std::max(0LL, at_ms_ - monotonic_ms()));
}

bool send_line_by(_GNUPLOT_CTRL_ *handle, CommandLine &line, const Deadline &deadline) {
    static_assert(command_buffer_size <= PIPE_BUF, "a line must reach the pipe in one piece");
    SigpipeBlock quiet;
    flush_callers_bytes(handle->command_stream);
    const std::size_t length = std::strlen(line.text);
    line.text[length] = '\n';
    const bool sent = write_by(fileno(handle->command_stream), line.text, length + 1, deadline);
    line.text[length] = '\0';
    return sent;
}

bool send_line(_GNUPLOT_CTRL_ *handle, CommandLine &line) {
    return send_line_by(handle, line, Deadline(-1));
}

int pclose_quietly(FILE *stream) {
    // pclose flushes what is still buffered, into a pipe that may be dead.
    SigpipeBlock quiet;
    return pclose(stream);
}

} // namespace chartlink

void gnuplot_cmd(_GNUPLOT_CTRL_ *handle, const char *format, ...) {
    if (handle == nullptr || format == nullptr)
        return;
    chartlink::CommandLine line;
    va_list args;
    va_start(args, format);
    const bool formatted = chartlink::format_command(line, format, args);
    va_end(args);
    if (formatted)
        chartlink::send_line(handle, line);
}
