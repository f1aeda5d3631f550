/* Measurements with their errors, as columns of raw doubles:
 * error_bars [output.png] */
#include <math.h>
#include <stdio.h>

#include "chartlink.h"

int main(int argc, char **argv) {
    enum { count = 12 };
    double x[count], y[count], error[count];
    for (int i = 0; i < count; ++i) {
        x[i] = i + 1;
        y[i] = 10 * exp(-0.25 * x[i]) + 0.3 * sin(3 * x[i]);
        error[i] = 0.2 + 0.05 * x[i];
    }
    const double *const columns[] = {x, y, error};

    _GNUPLOT_CTRL_ *h = gnuplot_init();
    if (h == NULL)
        return 1;
    gnuplot_cmd(h, "set xrange [0:13]");
    gnuplot_set_xlabel(h, "run");
    gnuplot_set_ylabel(h, "signal");
    gnuplot_setstyle(h, "errorbars"); /* x, y and the y error */
    gnuplot_plot_columns(h, columns, 3, count, "measured");
    gnuplot_setstyle(h, "lines");
    gnuplot_plot_equation(h, "10 * exp(-0.25 * x)", "model");
    if (gnuplot_save(h, argc > 1 ? argv[1] : "error_bars.png") != 0)
        fprintf(stderr, "not saved: %s\n", gnuplot_last_error(h));
    gnuplot_close(h);
    return 0;
}
