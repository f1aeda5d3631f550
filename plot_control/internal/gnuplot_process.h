// gnuplot's process: started, watched, and waited for; provided by
// gnuplot_process.cpp.
#ifndef PLOT_CONTROL_GNUPLOT_PROCESS_H
#define PLOT_CONTROL_GNUPLOT_PROCESS_H

#include <climits>
#include <cstdio>

#include <sys/types.h>

namespace plot_control {

struct GnuplotProcess {
    pid_t pid = -1;
    pid_t opener_pid = -1; // a forked child's close leaves gnuplot and the files alone
    int exit_fd = -1;      // gnuplot's pidfd where the system has them
};

// Starts gnuplot through the shell, with reply_write (closed here in every
// case) as its descriptor 3. Returns the stream to its standard input,
// buffered in `buffer`; null when it cannot.
FILE *start_gnuplot(GnuplotProcess &process, int reply_write, char (&buffer)[PIPE_BUF]);

// True in the process that opened the handle, not in a forked child.
bool is_opener(const GnuplotProcess &process);

// Closes the command stream and waits for gnuplot to end; in a process
// other than the opener, only closes. False when the wait fails.
bool end_gnuplot(const GnuplotProcess &process, FILE *stream);

// True once gnuplot's process has exited, whether or not it has been reaped
// and by whom, and whatever its window's helper still holds open.
bool gnuplot_has_exited(const GnuplotProcess &process);

// gnuplot has exited, stopped reading (the command pipe polls as an error)
// or left no writer on the reply pipe, read from reply_read.
bool gnuplot_has_ended(const GnuplotProcess &process, FILE *command_stream, int reply_read);

} // namespace plot_control

#endif
