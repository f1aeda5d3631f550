// gnuplot's process: started through the shell with its standard input on
// the command pipe and its descriptor 3 on the reply channel's pipe, ended
// by closing the command pipe and waiting.
#include <cerrno>
#include <csignal>
#include <cstdio>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <stdio_ext.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include "chartlink.h"
#include "internal/gnuplot_process.h"
#include "internal/handle.h"
#include "internal/os_helpers.h"

extern char **environ;

namespace plot_control {
namespace {

// The descriptor gnuplot finds the reply channel's pipe on.
constexpr int reply_fd_in_gnuplot = 3;

// Moves fd above the descriptors the child is given, so that placing one
// of them never overwrites another.
bool move_above_reply_fd(int &fd) {
    if (fd > reply_fd_in_gnuplot)
        return true;
    const int moved = fcntl(fd, F_DUPFD_CLOEXEC, reply_fd_in_gnuplot + 1);
    close(fd);
    fd = moved;
    return fd != -1;
}

// The command pipe, close-on-exec, with gnuplot's end above descriptor 3
// and ours above 2.
bool make_command_pipe(int (&command)[2]) {
    if (pipe2(command, O_CLOEXEC) != 0)
        return false;
    command[1] = move_off_standard_streams(command[1]);
    if (move_above_reply_fd(command[0]) && command[1] != -1)
        return true;
    for (const int fd : command) {
        if (fd != -1)
            close(fd);
    }
    return false;
}

// gnuplot's standard output and error are the caller's; where the caller
// has closed them, /dev/null, so that no file gnuplot opens takes their
// place.
bool give_closed_streams_null(posix_spawn_file_actions_t &actions) {
    for (const int fd : {STDOUT_FILENO, STDERR_FILENO}) {
        if (fcntl(fd, F_GETFD) == -1 &&
            posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", O_WRONLY, 0) != 0)
            return false;
    }
    return true;
}

pid_t spawn_shell(int command_read, int reply_write) {
    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0)
        return -1;
    pid_t pid = -1;
    char sh[] = "sh", dash_c[] = "-c", gnuplot[] = "gnuplot";
    char *argv[] = {sh, dash_c, gnuplot, nullptr};
    if (!give_closed_streams_null(actions) ||
        posix_spawn_file_actions_adddup2(&actions, command_read, STDIN_FILENO) != 0 ||
        posix_spawn_file_actions_adddup2(&actions, reply_write, reply_fd_in_gnuplot) != 0 ||
        posix_spawn(&pid, "/bin/sh", &actions, nullptr, argv, environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

} // namespace

FILE *start_gnuplot(GnuplotProcess &process, int reply_write, char (&buffer)[PIPE_BUF]) {
    int command[2] = {-1, -1};
    const bool piped = move_above_reply_fd(reply_write) && make_command_pipe(command);
    process.pid = piped ? spawn_shell(command[0], reply_write) : -1;
    if (reply_write != -1)
        close(reply_write);
    if (!piped)
        return nullptr;
    close(command[0]);
    FILE *stream = process.pid == -1 ? nullptr : fdopen(command[1], "w");
    if (stream == nullptr) {
        close(command[1]);
        if (process.pid != -1)
            waitpid(process.pid, nullptr, 0); // it reads end of input and ends
        return nullptr;
    }
    setvbuf(stream, buffer, _IOFBF, sizeof buffer);
    process.opener_pid = getpid();
#ifdef SYS_pidfd_open
    // Readable once gnuplot has exited, whoever reaps it (a caller ignoring
    // SIGCHLD, or waiting for any child), and whatever its window's helper
    // still holds open; close-on-exec by itself.
    process.exit_fd =
        move_off_standard_streams(static_cast<int>(syscall(SYS_pidfd_open, process.pid, 0)));
#endif
    return stream;
}

bool gnuplot_has_exited(const GnuplotProcess &process) {
    if (process.exit_fd != -1) {
        pollfd exit{process.exit_fd, POLLIN, 0};
        return poll(&exit, 1, 0) == 1;
    }
    // Without a pidfd: exited and not yet reaped, or reaped by the caller.
    siginfo_t info{};
    return is_opener(process) && ((waitid(P_PID, static_cast<id_t>(process.pid), &info,
                                          WEXITED | WNOHANG | WNOWAIT) == 0 &&
                                   info.si_pid == process.pid) ||
                                  (kill(process.pid, 0) == -1 && errno == ESRCH));
}

bool is_opener(const GnuplotProcess &process) {
    return process.opener_pid == getpid();
}

bool end_gnuplot(const GnuplotProcess &process, FILE *stream) {
    if (process.exit_fd != -1)
        close(process.exit_fd);
    if (!is_opener(process)) {
        // gnuplot belongs to the process that opened the handle: send it
        // nothing and wait for nothing.
        __fpurge(stream);
        std::fclose(stream);
        return true;
    }
    {
        SignalBlock quiet(SIGPIPE); // what is still buffered goes into a pipe that may be dead
        std::fclose(stream);
    }
    int status = 0;
    pid_t waited;
    do
        waited = waitpid(process.pid, &status, 0);
    while (waited == -1 && errno == EINTR);
    return waited == process.pid;
}

bool gnuplot_has_ended(const GnuplotProcess &process, FILE *command_stream, int reply_read) {
    // An exiting process closes its pipes a moment before its exit shows.
    pollfd pipes[] = {{fileno(command_stream), 0, 0}, {reply_read, 0, 0}};
    return (poll(pipes, 2, 0) > 0 &&
            ((pipes[0].revents & (POLLERR | POLLHUP)) != 0 || (pipes[1].revents & POLLHUP) != 0)) ||
           gnuplot_has_exited(process);
}

} // namespace plot_control

int gnuplot_is_running(const _GNUPLOT_CTRL_ *handle) {
    if (handle == nullptr)
        return 0;
    const plot_control::Handle &owner = plot_control::handle_of(handle);
    return plot_control::gnuplot_has_ended(owner.process, handle->command_stream,
                                           owner.reply.read_fd)
               ? 0
               : 1;
}
