// The command channel: every byte the library sends to gnuplot goes out here.
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <stdio_ext.h>
#include <unistd.h>

#include "internal/command_channel.h"
#include "internal/figure.h"
#include "internal/handle.h"
#include "internal/messages.h"
#include "internal/os_helpers.h"

namespace plot_control {
namespace {

// Waits until the command pipe has room or the deadline passes; false
// without room. Answers that arrive meanwhile are taken in, as bytes the
// reply channel frames later: a gnuplot blocked on writing a late answer
// reads no commands.
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

// Formats into line; false, with the message, when the result cannot be
// sent as one command line.
CHARTLINK_PRINTF_FORMAT(2, 0)
bool format_command(CommandLine &line, const char *format, va_list args) {
    const int length = std::vsnprintf(line.text, sizeof line.text, format, args);
    if (length < 0) {
        say("cannot format command: not sent\n");
        return false;
    }
    if (length > CHARTLINK_MAX_COMMAND_LENGTH) {
        say("command too long: not sent\n");
        return false;
    }
    return true;
}

} // namespace

bool format_own_command(CommandLine &line, const char *format, ...) {
    va_list args;
    va_start(args, format);
    const bool formatted = format_command(line, format, args);
    va_end(args);
    if (!formatted)
        return false;
    if (std::strchr(line.text, '\n') != nullptr) {
        say("command holds a line break: not sent\n");
        return false;
    }
    return true;
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
    owner.commands.boundary.feed(joined, size);
    return true;
}

bool send_line_by(_GNUPLOT_CTRL_ *handle, CommandLine &line, const Deadline &deadline) {
    const CommandLine *const lines[] = {&line};
    return send_lines_by(handle, lines, 1, deadline);
}

bool send_line(_GNUPLOT_CTRL_ *handle, CommandLine &line) {
    if (!send_line_by(handle, line, Deadline(-1)))
        return false;
    note_sent(handle, line);
    return true;
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
    if (!formatted)
        return;
    // A frame handed over before the line is drawn before it, on the
    // terminal it was meant for.
    plot_control::send_waiting_frame(plot_control::handle_of(handle), plot_control::Deadline(-1));
    if (plot_control::send_line(handle, line))
        plot_control::caller_line_sent(plot_control::handle_of(handle));
}
