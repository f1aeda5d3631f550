// The command channel: every byte the library sends to gnuplot goes out here.
#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <stdio_ext.h>
#include <unistd.h>

#include "internal.h"

namespace plot_control {
namespace {

// Waits until the command pipe has room or the deadline passes; false
// without room. Answers that arrive meanwhile are taken in: a gnuplot
// blocked on writing a late answer reads no commands.
bool room_by(Handle &handle, const Deadline &deadline) {
    const int fd = fileno(handle.record.command_stream);
    int reply_fd = handle.reply.read_fd;
    for (;;) {
        pollfd watched[] = {{fd, POLLOUT, 0}, {reply_fd, POLLIN, 0}};
        const int ready = poll(watched, 2, deadline.left_ms());
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return false;
        if (watched[1].revents & POLLIN)
            read_available(reply_fd, handle.reply.unread);
        else if (watched[1].revents != 0)
            reply_fd = -1; // no writer left: nothing more to take in
        if (watched[0].revents & (POLLERR | POLLHUP))
            return false;
        if (watched[0].revents & POLLOUT)
            return true;
    }
}

// Bytes the caller wrote to command_stream itself go before ours. The
// stream's buffer holds no more than PIPE_BUF bytes, so once the pipe has
// room one write takes them all, and no signal can interrupt it halfway
// (stdio would drop what it did not take).
bool flush_callers_bytes(Handle &handle, const Deadline &deadline) {
    FILE *stream = handle.record.command_stream;
    if (__fpending(stream) == 0)
        return true;
    return room_by(handle, deadline) && std::fflush(stream) == 0;
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

bool write_by(Handle &handle, const char *data, std::size_t size, const Deadline &deadline) {
    const int fd = fileno(handle.record.command_stream);
    while (!write_if_room(fd, data, size)) {
        if (errno != EAGAIN || !room_by(handle, deadline))
            return false;
    }
    return true;
}

long long monotonic_ns() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000000000LL + now.tv_nsec;
}

// Formats into line; false, with the message, when the result cannot be
// sent as one command line.
CHARTLINK_PRINTF_FORMAT(2, 0)
bool format_command(CommandLine &line, const char *format, va_list args) {
    const int length = std::vsnprintf(line.text, sizeof line.text, format, args);
    if (length < 0) {
        plot_control::say("cannot format command: not sent\n");
        return false;
    }
    if (length > CHARTLINK_MAX_COMMAND_LENGTH) {
        plot_control::say("command too long: not sent\n");
        return false;
    }
    return true;
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

bool format_own_command(CommandLine &line, const char *format, ...) {
    va_list args;
    va_start(args, format);
    const bool formatted = format_command(line, format, args);
    va_end(args);
    if (!formatted)
        return false;
    if (std::strchr(line.text, '\n') != nullptr) {
        plot_control::say("command holds a line break: not sent\n");
        return false;
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
    Handle &owner = handle_of(handle);
    SignalBlock quiet(SIGPIPE);
    if (!flush_callers_bytes(owner, deadline) || !write_by(owner, joined, size, deadline))
        return false;
    owner.boundary.feed(joined, size);
    return true;
}

bool send_line_by(_GNUPLOT_CTRL_ *handle, CommandLine &line, const Deadline &deadline) {
    const CommandLine *const lines[] = {&line};
    return send_lines_by(handle, lines, 1, deadline);
}

bool send_line(_GNUPLOT_CTRL_ *handle, CommandLine &line) {
    return send_line_by(handle, line, Deadline(-1));
}

} // namespace plot_control

void gnuplot_cmd(_GNUPLOT_CTRL_ *handle, const char *format, ...) {
    plot_control::begin_call();
    if (handle == nullptr || format == nullptr)
        return;
    plot_control::CommandLine line;
    va_list args;
    va_start(args, format);
    const bool formatted = plot_control::format_command(line, format, args);
    va_end(args);
    if (formatted)
        plot_control::send_line(handle, line);
}
