// A time axis: x in seconds since 1970-01-01 UTC, its tics as dates and
// times. The axis stays numeric (timedate tics, not "set xdata time"), so
// every plot goes on reading plain numbers and needs no full "using".
#include <new>

#include "internal.h"

void gnuplot_set_xtime(_GNUPLOT_CTRL_ *handle, const char *format) {
    chartlink::begin_call();
    if (handle == nullptr)
        return;
    chartlink::CommandLine line;
    try {
        if (format == nullptr
                ? chartlink::format_own_command(line, "set format x \"%% h\" numeric")
                : chartlink::format_own_command(line, "set format x %s timedate",
                                                chartlink::single_quoted(format).c_str()))
            chartlink::send_line(handle, line);
    } catch (const std::bad_alloc &) {
        chartlink::say("cannot allocate memory: not sent\n");
    }
}
