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

// Bytes the caller wrote to command_stream itself go before ours. The
// stream's buffer holds no more than PIPE_BUF bytes, so once the pipe has
// room one write takes them all, and no signal can interrupt it halfway
// (stdio would drop what it did not take).
bool flush_callers_bytes(FILE *stream, const Deadline &deadline) {
    if (__fpending(stream) == 0)
        return true;
    return room_by(fileno(stream), deadline) && std::fflush(stream) == 0;
}

// One attempt that takes the whole text or nothing: it is no longer than
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

// SIGPIPE is blocked in this thread for the object's life, and one that
// its writes made pending is consumed before the old mask comes back.
SigpipeBlock::SigpipeBlock() {
    sigemptyset(&sigpipe_);
    sigaddset(&sigpipe_, SIGPIPE);
    sigset_t pending;
    sigpending(&pending);
    already_pending_ = sigismember(&pending, SIGPIPE) == 1;
    pthread_sigmask(SIG_BLOCK, &sigpipe_, &saved_mask_);
}

SigpipeBlock::~SigpipeBlock() {
    if (!already_pending_) {
        const timespec no_wait{};
        sigtimedwait(&sigpipe_, nullptr, &no_wait);
    }
    pthread_sigmask(SIG_SETMASK, &saved_mask_, nullptr);
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

bool send_lines_by(_GNUPLOT_CTRL_ *handle, const CommandLine *const lines[], std::size_t count,
                   const Deadline &deadline) {
    char joined[PIPE_BUF];
    std::size_t size = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t length = std::strlen(lines[i]->text);
        if (length + 1 > sizeof joined - size)
            return false;
        std::memcpy(joined + size, lines[i]->text, length);
        size += length;
        joined[size++] = '\n';
    }
    SigpipeBlock quiet;
    return flush_callers_bytes(handle->command_stream, deadline) &&
           write_by(fileno(handle->command_stream), joined, size, deadline);
}

bool send_line_by(_GNUPLOT_CTRL_ *handle, CommandLine &line, const Deadline &deadline) {
    const CommandLine *const lines[] = {&line};
    return send_lines_by(handle, lines, 1, deadline);
}

bool send_line(_GNUPLOT_CTRL_ *handle, CommandLine &line) {
    return send_line_by(handle, line, Deadline(-1));
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
