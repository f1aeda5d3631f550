// Internals shared by the library's source files; not installed.
#ifndef CHARTLINK_INTERNAL_H
#define CHARTLINK_INTERNAL_H

#include <cstddef>
#include <cstdio>

#include "chartlink.h"

namespace chartlink {

// One command line: up to CHARTLINK_MAX_COMMAND_LENGTH characters, the
// newline and the terminating NUL.
constexpr std::size_t command_buffer_size = CHARTLINK_MAX_COMMAND_LENGTH + 2;

struct CommandLine {
    char text[command_buffer_size];
};

// Formats a line the library builds itself (printf-style, %s and %d only, so
// the locale cannot change it). False, with the message on standard error,
// when the result would not fit on one line or holds a newline.
bool format_own_command(CommandLine &line, const char *format, ...) CHARTLINK_PRINTF_FORMAT(2, 3);

// Sends a finished line and its newline, unchanged, and flushes.
void send_line(_GNUPLOT_CTRL_ *handle, const CommandLine &line);

// Closes the pipe to gnuplot and waits for it, without raising SIGPIPE.
// Returns what pclose returns.
int pclose_quietly(FILE *stream);

// "plot" for the first plot on a handle, "replot" afterwards.
const char *plot_verb(const _GNUPLOT_CTRL_ *handle);

// Counts one plot sent.
void count_plot(_GNUPLOT_CTRL_ *handle);

// Removes the handle's data files and empties its table.
void remove_temp_files(_GNUPLOT_CTRL_ *handle);

// Longest text format_number() writes.
constexpr std::size_t max_number_length = 32;

// Writes value as printf's %g would when that text reads back as the same
// double, else as the shortest text that does; independent of the locale.
// Needs max_number_length bytes at first; returns the end of the text.
char *format_number(char *first, double value);

} // namespace chartlink

#endif
