/* Ten curves as one plot line: many_curves [output.png] */
#include <math.h>
#include <stdio.h>

#include "chartlink.h"

int main(int argc, char **argv) {
    enum { curves = 10, count = 10000 };
    static double x[count], y[curves][count];
    for (int i = 0; i < count; ++i) {
        x[i] = 1e-3 * i;
        for (int k = 0; k < curves; ++k)
            y[k][i] = k + 0.4 * sin(x[i] * (k + 1));
    }

    _GNUPLOT_CTRL_ *h = gnuplot_init();
    if (h == NULL)
        return 1;
    gnuplot_cmd(h, "set key outside right");
    gnuplot_set_curve_style(h, "lines lw 2");
    gnuplot_set_layout(h, 1, 1, NULL); /* one panel: every curve in one plot line */
    for (int k = 0; k < curves; ++k) {
        char title[16];
        snprintf(title, sizeof title, "curve %d", k + 1);
        const double *const columns[] = {x, y[k]};
        gnuplot_plot_columns(h, columns, 2, count, title);
    }
    gnuplot_end_layout(h);
    if (gnuplot_save(h, argc > 1 ? argv[1] : "many_curves.png") != 0)
        fprintf(stderr, "not saved: %s\n", gnuplot_last_error(h));
    gnuplot_close(h);
    return 0;
}
