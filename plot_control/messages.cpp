// Every message the library writes goes out here: on standard error, and
// kept for gnuplot_last_message() in the thread that wrote it, with whether
// it was a refusal or only a warning.
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "internal/messages.h"

namespace plot_control {
namespace {

// Per thread, as a handle is used by one thread at a time: the thread that
// made a call is the one that asks why it failed.
thread_local char last_said[256];
thread_local bool last_call_refused;

void keep(const char *message) {
    std::size_t length = strnlen(message, sizeof last_said - 1);
    while (length > 0 && message[length - 1] == '\n')
        --length;
    std::memcpy(last_said, message, length);
    last_said[length] = '\0';
}

} // namespace

void warn(const char *message) {
    std::fputs(message, stderr);
    keep(message);
}

void say(const char *message) {
    warn(message);
    last_call_refused = true;
}

void say_formatted(const char *format, ...) {
    char message[sizeof last_said];
    va_list args;
    va_start(args, format);
    std::vsnprintf(message, sizeof message, format, args);
    va_end(args);
    say(message);
}

void begin_call() {
    last_said[0] = '\0';
    last_call_refused = false;
}

} // namespace plot_control

const char *gnuplot_last_message(void) {
    return plot_control::last_said;
}

int gnuplot_last_refused(void) {
    return plot_control::last_call_refused ? 1 : 0;
}
