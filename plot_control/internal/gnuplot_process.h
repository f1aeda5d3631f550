// gnuplot's process: started, and waited for; provided by gnuplot_process.cpp.
#ifndef PLOT_CONTROL_GNUPLOT_PROCESS_H
#define PLOT_CONTROL_GNUPLOT_PROCESS_H

#include <sys/types.h>

namespace plot_control {

struct Handle;

struct GnuplotProcess {
    pid_t pid = -1;
    pid_t opener_pid = -1; // a forked child's close leaves gnuplot and the files alone
};

// Starts gnuplot through the shell: its standard input is the pipe behind
// command_stream, its descriptor 3 the reply channel's pipe. False when it
// cannot.
bool start_gnuplot(Handle &handle);

// True in the process that opened the handle, not in a forked child.
bool is_opener(const GnuplotProcess &process);

// Closes the reply channel, then the command pipe, and waits for gnuplot
// to end; in a process other than the opener, only closes. False when the
// wait fails.
bool end_gnuplot(Handle &handle);

} // namespace plot_control

#endif
