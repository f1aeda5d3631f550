/* The header from plain C99: the whole API in one small session. */
#include <string.h>

#include "chartlink.h"

/* Called from the C++ tests; 0 when every step behaved. */
int chartlink_c_session(void);

int chartlink_c_session(void) {
    const double x[] = {1.0, 2.0};
    const double y[] = {0.5, 0.25};
    _GNUPLOT_CTRL_ *handle = gnuplot_init();
    if (handle == NULL)
        return 1;
    gnuplot_setstyle(handle, "line");
    if (strcmp(gnuplot_last_message(), "warning: unknown requested style: using points") != 0 ||
        gnuplot_last_refused() != 0)
        return 3;
    gnuplot_setstyle(handle, "lines");
    if (*gnuplot_last_message() != '\0' || !gnuplot_is_running(handle) || gnuplot_is_running(NULL))
        return 4;
    gnuplot_set_xlabel(handle, "two\nlines");
    if (!gnuplot_last_refused() ||
        strcmp(gnuplot_last_message(), "command holds a line break: not sent") != 0)
        return 5;
    gnuplot_cmd(handle, "set title \"%s\"", "from C");
    gnuplot_plot_equation(handle, "x**2", NULL);
    gnuplot_plot_xy(handle, x, y, 2, "pairs");
    if (handle->plot_count != 2 || handle->temp_file_count != 1 ||
        strcmp(handle->style, "lines") != 0)
        return 2;
    gnuplot_close(handle);
    return 0;
}
