// What the library says on standard error; provided by messages.cpp.
#ifndef PLOT_CONTROL_MESSAGES_H
#define PLOT_CONTROL_MESSAGES_H

#include "chartlink.h"

namespace plot_control {

// Writes a refusal or failure on standard error, as it stands, and keeps it
// (without its newline) for gnuplot_last_message() in this thread.
void say(const char *message);
void say_formatted(const char *format, ...) CHARTLINK_PRINTF_FORMAT(1, 2);

// The same for a warning: the call still goes on.
void warn(const char *message);

// Every public operation starts so: nothing said, nothing refused yet.
void begin_call();

} // namespace plot_control

#endif
