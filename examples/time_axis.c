/* A day of measurements on a time axis: time_axis [output.png] */
#include <math.h>
#include <stdio.h>

#include "chartlink.h"

int main(int argc, char **argv) {
    enum { count = 24 * 6 };            /* every ten minutes */
    const double midnight = 1700006400; /* 2023-11-15 00:00 UTC, in seconds */
    _GNUPLOT_CTRL_ *h = gnuplot_init();
    if (h == NULL)
        return 1;
    static double when[count], celsius[count];
    for (int i = 0; i < count; ++i) {
        when[i] = midnight + 600.0 * i;
        const double hour = i / 6.0;
        celsius[i] = 8 + 6 * sin((hour - 9) * 3.14159265 / 12) + 0.6 * sin(5.3 * i);
    }

    gnuplot_set_xtime(h, "%H:%M");
    gnuplot_cmd(h, "set xtics 3 * 3600");
    gnuplot_set_xlabel(h, "15 November 2023 (UTC)");
    gnuplot_set_ylabel(h, "temperature (°C)");
    gnuplot_set_curve_style(h, "linespoints lc rgb '#d62728' pt 7 ps 0.5");
    gnuplot_plot_xy(h, when, celsius, count, "outside");
    if (gnuplot_save(h, argc > 1 ? argv[1] : "time_axis.png") != 0)
        fprintf(stderr, "not saved: %s\n", gnuplot_last_error(h));
    gnuplot_close(h);
    return 0;
}
