// One call that plots, waits for Enter and cleans up.
#include <cerrno>
#include <cstdio>

#include "internal/handle.h"
#include "internal/messages.h"

namespace {

// Consumes standard input up to and including the first newline, stopping
// at end of input too, so a closed or exhausted input never hangs the
// caller. Anything after the newline stays in stdin for the caller. A signal
// that interrupts the read does not end the wait.
void wait_for_enter() {
    for (;;) {
        const int c = std::getchar();
        if (c == '\n')
            return;
        if (c == EOF) {
            if (!std::ferror(stdin) || errno != EINTR)
                return;
            std::clearerr(stdin);
        }
    }
}

} // namespace

void gnuplot_plot_once(const char *title, const char *style, const char *x_label,
                       const char *y_label, const double *x, const double *y, int count) {
    plot_control::begin_call();
    if (x == nullptr || count < 1)
        return;
    _GNUPLOT_CTRL_ *handle = gnuplot_init();
    if (handle == nullptr)
        return;
    gnuplot_setstyle(handle, style != nullptr ? style : "lines");
    gnuplot_set_xlabel(handle, x_label != nullptr ? x_label : "X");
    gnuplot_set_ylabel(handle, y_label != nullptr ? y_label : "Y");
    if (y != nullptr)
        gnuplot_plot_xy(handle, x, y, count, title);
    else
        gnuplot_plot_x(handle, x, count, title);
    std::puts("press ENTER to continue");
    std::fflush(stdout);
    wait_for_enter();
    plot_control::close_handle(*handle);
}
