// gnuplot's process: started through the shell with its standard input on
// the command pipe and its descriptor 3 on the reply pipe, ended by closing
// both and waiting.
#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <spawn.h>
#include <stdio_ext.h>
#include <sys/wait.h>
#include <unistd.h>

#include "internal.h"

extern char **environ;

namespace chartlink {
namespace {

// The descriptor gnuplot finds its reply pipe on.
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

void close_pair(int (&fds)[2]) {
    for (int &fd : fds) {
        if (fd != -1)
            close(fd);
        fd = -1;
    }
}

bool keep_off_standard_streams(int &fd) {
    fd = move_off_standard_streams(fd);
    return fd != -1;
}

// Both pipes close-on-exec, with their child ends above descriptor 3 and
// ours above 2; our read end of the reply pipe never blocks.
bool make_pipes(int (&command)[2], int (&reply)[2]) {
    if (pipe2(command, O_CLOEXEC) != 0)
        return false;
    if (pipe2(reply, O_CLOEXEC) == 0 && move_above_reply_fd(command[0]) &&
        move_above_reply_fd(reply[1]) && keep_off_standard_streams(command[1]) &&
        keep_off_standard_streams(reply[0]) && fcntl(reply[0], F_SETFL, O_NONBLOCK) == 0)
        return true;
    close_pair(command);
    close_pair(reply);
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

bool start_gnuplot(Handle &handle) {
    int command[2] = {-1, -1}, reply[2] = {-1, -1};
    if (!make_pipes(command, reply))
        return false;
    handle.gnuplot_pid = spawn_shell(command[0], reply[1]);
    close(command[0]);
    close(reply[1]);
    FILE *stream = handle.gnuplot_pid == -1 ? nullptr : fdopen(command[1], "w");
    if (stream == nullptr) {
        close(command[1]);
        close(reply[0]);
        if (handle.gnuplot_pid != -1)
            waitpid(handle.gnuplot_pid, nullptr, 0); // it reads end of input and ends
        return false;
    }
    setvbuf(stream, handle.stream_buffer, _IOFBF, sizeof handle.stream_buffer);
    handle.record.command_stream = stream;
    handle.reply.read_fd = reply[0];
    handle.opener_pid = getpid();
    return true;
}

bool is_opener(const Handle &handle) {
    return handle.opener_pid == getpid();
}

bool gnuplot_has_exited(const Handle &handle) {
    siginfo_t info{};
    return is_opener(handle) &&
           waitid(P_PID, static_cast<id_t>(handle.gnuplot_pid), &info,
                  WEXITED | WNOHANG | WNOWAIT) == 0 &&
           info.si_pid == handle.gnuplot_pid;
}

bool end_gnuplot(Handle &handle) {
    // Nobody reads the reply pipe any more: a late answer fails in gnuplot
    // rather than waiting for a reader.
    close(handle.reply.read_fd);
    handle.reply.read_fd = -1;
    FILE *stream = handle.record.command_stream;
    if (!is_opener(handle)) {
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
        waited = waitpid(handle.gnuplot_pid, &status, 0);
    while (waited == -1 && errno == EINTR);
    return waited == handle.gnuplot_pid;
}

} // namespace chartlink
