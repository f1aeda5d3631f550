// Hearing back from gnuplot. A sync sends one line that has gnuplot print
// "chartlink-sync <number> <error number> <error message>" into a FIFO of
// the handle's own, then clear its error and put `print` back on standard
// error; the sync waits for the answer carrying its own number.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <new>

#include <strings.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include "internal.h"

namespace chartlink {
namespace {

constexpr char answer_tag[] = "chartlink-sync ";
constexpr char fifo_name[] = "/answer";

std::string fifo_path(const ReplyChannel &reply) {
    return reply.directory + fifo_name;
}

// Makes the FIFO in a directory only its owner can enter, on first use.
bool open_reply_channel(ReplyChannel &reply) {
    if (reply.read_fd != -1)
        return true;
    char directory[] = "/tmp/chartlink-sync-XXXXXX";
    if (mkdtemp(directory) == nullptr)
        return false;
    reply.directory = directory;
    const std::string fifo = fifo_path(reply);
    if (mkfifo(fifo.c_str(), 0600) == 0) {
        reply.read_fd = open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        reply.keep_open_fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    }
    if (reply.read_fd != -1 && reply.keep_open_fd != -1)
        return true;
    close_reply_channel(reply);
    return false;
}

struct Answer {
    unsigned long number = 0;
    bool error = false;
    std::string message;
};

// Takes the next whole answer line out of reply.unread, if there is one.
bool next_answer(ReplyChannel &reply, Answer &answer) {
    for (std::size_t end; (end = reply.unread.find('\n')) != std::string::npos;) {
        const std::string line = reply.unread.substr(0, end);
        reply.unread.erase(0, end + 1);
        if (line.compare(0, sizeof answer_tag - 1, answer_tag) != 0)
            continue;
        char *rest = nullptr;
        answer.number = std::strtoul(line.c_str() + sizeof answer_tag - 1, &rest, 10);
        answer.error = std::strtol(rest, &rest, 10) != 0;
        answer.message = *rest == ' ' ? rest + 1 : rest;
        return true;
    }
    return false;
}

void read_available(ReplyChannel &reply) {
    char chunk[512];
    ssize_t got;
    while ((got = read(reply.read_fd, chunk, sizeof chunk)) > 0 || (got < 0 && errno == EINTR)) {
        if (got > 0)
            reply.unread.append(chunk, static_cast<std::size_t>(got));
    }
}

enum class Wait { answered, ended, timed_out };

// Waits for the answer numbered `number`. Earlier answers, late after their
// sync gave up, are passed over, but an error they carry is kept.
Wait wait_for_answer(Handle &handle, unsigned long number, const Deadline &deadline,
                     Answer &answer) {
    ReplyChannel &reply = handle.reply;
    for (;;) {
        while (next_answer(reply, answer)) {
            if (answer.number == number)
                return Wait::answered;
            if (answer.error)
                reply.missed_error = answer.message;
        }
        // A pipe whose reader has gone polls as an error: gnuplot has ended.
        pollfd watched[] = {{reply.read_fd, POLLIN, 0},
                            {fileno(handle.record.command_stream), 0, 0}};
        const int ready = poll(watched, 2, deadline.left_ms());
        if (ready < 0 && errno != EINTR)
            return Wait::ended;
        if (watched[0].revents & POLLIN)
            read_available(reply);
        else if (watched[1].revents & (POLLERR | POLLHUP))
            return Wait::ended;
        else if (ready == 0)
            return Wait::timed_out;
    }
}

bool gnuplot_has_ended(const Handle &handle) {
    pollfd pipe{fileno(handle.record.command_stream), 0, 0};
    return poll(&pipe, 1, 0) == 1 && (pipe.revents & (POLLERR | POLLHUP)) != 0;
}

// Sends the sync line, numbered anew, and waits for its answer.
Wait ask_for_answer(Handle &handle, int timeout_ms, Answer &answer) {
    ReplyChannel &reply = handle.reply;
    const Deadline deadline(timeout_ms);
    const unsigned long number = ++reply.last_sync;
    CommandLine line;
    format_own_command(line,
                       "set print \"%s\"; print sprintf(\"%s%%d %%d \", %lu, GPVAL_ERRNO) . "
                       "GPVAL_ERRMSG; reset errors; unset print",
                       fifo_path(reply).c_str(), answer_tag, number);
    if (!send_line_by(&handle.record, line, deadline))
        return gnuplot_has_ended(handle) ? Wait::ended : Wait::timed_out;
    return wait_for_answer(handle, number, deadline, answer);
}

int sync_with_gnuplot(Handle &handle, int timeout_ms) {
    ReplyChannel &reply = handle.reply;
    reply.last_error.clear();
    if (!open_reply_channel(reply)) {
        std::fputs("cannot make a channel for gnuplot's answers: cannot sync\n", stderr);
        return -1;
    }
    Answer answer;
    const Wait outcome = ask_for_answer(handle, timeout_ms, answer);
    if (outcome != Wait::answered) {
        std::fputs(outcome == Wait::ended ? "gnuplot has ended: cannot sync\n"
                                          : "gnuplot did not answer in time\n",
                   stderr);
        return -1;
    }
    if (!answer.error && reply.missed_error.empty())
        return 0;
    reply.last_error = answer.error ? answer.message : reply.missed_error;
    reply.missed_error.clear();
    return 1;
}

// The line that sets the terminal writing the format a file name's
// extension asks for; null for an unknown extension.
const char *terminal_line_for(const char *file_name) {
    static constexpr struct {
        const char *extension;
        const char *terminal_line;
    } formats[] = {{".png", "set terminal pngcairo"},
                   {".svg", "set terminal svg"},
                   {".pdf", "set terminal pdfcairo"},
                   {".eps", "set terminal epscairo"},
                   {".txt", "set terminal dumb"}};
    const std::size_t length = std::strlen(file_name);
    for (const auto &format : formats) {
        const std::size_t extension_length = std::strlen(format.extension);
        if (length > extension_length &&
            strcasecmp(file_name + length - extension_length, format.extension) == 0)
            return format.terminal_line;
    }
    return nullptr;
}

// set output '<file>': in single quotes gnuplot neither expands backquotes
// nor backslashes; a single quote inside is written twice.
bool format_output_line(CommandLine &line, const char *file_name) {
    std::string quoted;
    for (const char *c = file_name; *c != '\0'; ++c)
        quoted.append(*c == '\'' ? 2 : 1, *c);
    return format_own_command(line, "set output '%s'", quoted.c_str());
}

// Sends a line of the library's own that always fits.
void send_own_line(Handle &handle, const char *text) {
    CommandLine line;
    if (format_own_command(line, "%s", text))
        send_line(&handle.record, line);
}

int save_graph(Handle &handle, const char *file_name) {
    const char *terminal_line = terminal_line_for(file_name);
    if (terminal_line == nullptr) {
        std::fputs("cannot tell the image format from the file name: not saved\n", stderr);
        return -1;
    }
    if (std::strpbrk(file_name, "\"\n\r") != nullptr) {
        std::fputs("file name holds a quote or a line break: not saved\n", stderr);
        return -1;
    }
    CommandLine output;
    if (!format_output_line(output, file_name))
        return -1;
    // Line by line, so that a failing replot still leaves the output closed
    // and the caller's terminal back.
    send_own_line(handle, "set terminal push");
    send_own_line(handle, terminal_line);
    send_line(&handle.record, output);
    send_own_line(handle, "replot");
    send_own_line(handle, "unset output");
    send_own_line(handle, "set terminal pop");
    return sync_with_gnuplot(handle, -1);
}

} // namespace

void close_reply_channel(ReplyChannel &reply) {
    for (int *fd : {&reply.read_fd, &reply.keep_open_fd}) {
        if (*fd != -1)
            close(*fd);
        *fd = -1;
    }
    if (reply.directory.empty())
        return;
    unlink(fifo_path(reply).c_str());
    if (rmdir(reply.directory.c_str()) == 0)
        reply.directory.clear();
}

} // namespace chartlink

int gnuplot_sync(_GNUPLOT_CTRL_ *handle, int timeout_ms) {
    if (handle == nullptr)
        return -1;
    try {
        return chartlink::sync_with_gnuplot(chartlink::handle_of(handle), timeout_ms);
    } catch (const std::bad_alloc &) {
        return -1;
    }
}

const char *gnuplot_last_error(const _GNUPLOT_CTRL_ *handle) {
    return handle == nullptr ? "" : chartlink::handle_of(handle).reply.last_error.c_str();
}

int gnuplot_save(_GNUPLOT_CTRL_ *handle, const char *file_name) {
    if (handle == nullptr || file_name == nullptr)
        return -1;
    try {
        return chartlink::save_graph(chartlink::handle_of(handle), file_name);
    } catch (const std::bad_alloc &) {
        return -1;
    }
}
