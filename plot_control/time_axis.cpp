// A time axis: x in seconds since 1970-01-01 UTC, its tics as dates and
// times. The axis stays numeric (timedate tics, not "set xdata time"), so
// every plot goes on reading plain numbers and needs no full "using".
#include <new>

#include "internal/command_channel.h"
#include "internal/figure.h"
#include "internal/file_names.h"
#include "internal/messages.h"

void gnuplot_set_xtime(_GNUPLOT_CTRL_ *handle, const char *format) {
    plot_control::begin_call();
    if (handle == nullptr)
        return;
    plot_control::CommandLine line;
    try {
        if (format == nullptr
                ? plot_control::format_own_command(line, "set format x \"%% h\" numeric")
                : plot_control::format_own_command(line, "set format x %s timedate",
                                                   plot_control::gnuplot_string(format).c_str()))
            plot_control::send_line(handle, line);
    } catch (const std::bad_alloc &) {
        plot_control::say("cannot allocate memory: not sent\n");
    }
}
