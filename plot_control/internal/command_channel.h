// The send path: every line the library sends to gnuplot goes out through
// these; provided by command_channel.cpp.
#ifndef PLOT_CONTROL_COMMAND_CHANNEL_H
#define PLOT_CONTROL_COMMAND_CHANNEL_H

#include <climits>
#include <cstddef>

#include "chartlink.h"
#include "internal/command_boundary.h"
#include "internal/os_helpers.h"

namespace plot_control {

// One command line: up to CHARTLINK_MAX_COMMAND_LENGTH characters, the
// newline and the terminating NUL.
constexpr std::size_t command_buffer_size = CHARTLINK_MAX_COMMAND_LENGTH + 2;

struct CommandLine {
    char text[command_buffer_size];
};

// The send path's part of a handle, beside record.command_stream.
struct CommandPipe {
    CommandBoundary boundary; // where the lines sent leave gnuplot's reader
    // The stream's buffer: no larger than a write into the pipe that cannot
    // be split or interrupted once the pipe has room.
    char stream_buffer[PIPE_BUF];
};

// Formats a line the library builds itself (printf-style, texts and whole
// numbers only, so the locale cannot change it). False, with the message on standard error,
// when the result would not fit on one line or holds a newline.
bool format_own_command(CommandLine &line, const char *format, ...) CHARTLINK_PRINTF_FORMAT(2, 3);

// Sends a finished line and its newline, whole and after anything the caller
// wrote to command_stream itself. False when gnuplot has stopped reading.
bool send_line(_GNUPLOT_CTRL_ *handle, CommandLine &line);

// As send_line(), but gives up, sending nothing, when the pipe has no room
// for the line before the deadline.
bool send_line_by(_GNUPLOT_CTRL_ *handle, CommandLine &line, const Deadline &deadline);

// Sends lines in one write, so that gnuplot gets all or, when the deadline
// passes first, none of them. False too when together, newlines included,
// they exceed PIPE_BUF bytes.
bool send_lines_by(_GNUPLOT_CTRL_ *handle, const CommandLine *const lines[], std::size_t count,
                   const Deadline &deadline);

} // namespace plot_control

#endif
