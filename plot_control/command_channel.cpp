// The command channel: every byte the library sends to gnuplot goes out here.
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>

#include <pthread.h>

#include "internal.h"

namespace chartlink {
namespace {

// A gnuplot that has ended must not kill its caller through SIGPIPE, yet the
// process-wide disposition is the caller's. So SIGPIPE is blocked in this
// thread for the length of a write, and one that the write made pending is
// consumed before the old mask comes back.
class SigpipeBlock {
public:
    SigpipeBlock() {
        sigemptyset(&sigpipe_);
        sigaddset(&sigpipe_, SIGPIPE);
        sigset_t pending;
        sigpending(&pending);
        already_pending_ = sigismember(&pending, SIGPIPE) == 1;
        pthread_sigmask(SIG_BLOCK, &sigpipe_, &saved_mask_);
    }

    ~SigpipeBlock() {
        if (!already_pending_) {
            const timespec no_wait{};
            sigtimedwait(&sigpipe_, nullptr, &no_wait);
        }
        pthread_sigmask(SIG_SETMASK, &saved_mask_, nullptr);
    }

    SigpipeBlock(const SigpipeBlock &) = delete;
    SigpipeBlock &operator=(const SigpipeBlock &) = delete;

private:
    sigset_t sigpipe_{};
    sigset_t saved_mask_{};
    bool already_pending_ = false;
};

void write_line(FILE *stream, const char *text) {
    SigpipeBlock quiet;
    std::fputs(text, stream);
    std::fputc('\n', stream);
    std::fflush(stream);
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

void send_line(_GNUPLOT_CTRL_ *handle, const CommandLine &line) {
    write_line(handle->command_stream, line.text);
}

int pclose_quietly(FILE *stream) {
    // pclose flushes what is still buffered, into a pipe that may be dead.
    SigpipeBlock quiet;
    return pclose(stream);
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
