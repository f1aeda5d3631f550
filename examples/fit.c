/* Fits a straight line to measurements in gnuplot and reads the parameters
 * and their errors back: fit */
#include <math.h>
#include <stdio.h>

#include "chartlink.h"

int main(void) {
    enum { count = 50 };
    double x[count], y[count];
    for (int i = 0; i < count; ++i) {
        x[i] = 0.2 * i;
        y[i] = 3 * x[i] - 1 + 0.4 * sin(7.0 * i); /* a line, and some noise */
    }
    const double *const columns[] = {x, y};

    _GNUPLOT_CTRL_ *h = gnuplot_init();
    if (h == NULL)
        return 1;
    gnuplot_cmd(h, "set terminal dumb");
    gnuplot_cmd(h, "set output '/dev/null'");
    gnuplot_plot_columns(h, columns, 2, count, "measured");
    /* The data file the plot made is the last one in the handle's table. */
    gnuplot_cmd(h, "set fit quiet errorvariables logfile '/dev/null'");
    gnuplot_cmd(h, "fit a * x + b '%s' binary format='%%2float64' using 1:2 via a, b",
                h->temp_files[h->temp_file_count - 1]);
    const char *names[] = {"a", "a_err", "b", "b_err"};
    double values[4];
    for (int i = 0; i < 4; ++i) {
        if (gnuplot_get_number(h, names[i], &values[i], 5000) != 0) {
            fprintf(stderr, "fit failed: %s\n", gnuplot_last_error(h));
            gnuplot_close(h);
            return 1;
        }
    }
    printf("slope a = %.4f +/- %.4f\nintercept b = %.4f +/- %.4f\n", values[0], values[1],
           values[2], values[3]);
    gnuplot_close(h);
    return 0;
}
