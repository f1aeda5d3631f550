/* A heatmap of a function on an uneven grid: heatmap [output.png] */
#include <math.h>
#include <stdio.h>

#include "chartlink.h"

int main(int argc, char **argv) {
    enum { rows = 60, columns = 80 };
    static double x[columns], y[rows], values[rows * columns];
    for (int c = 0; c < columns; ++c)
        x[c] = 4.0 * c * c / ((columns - 1) * (columns - 1)); /* denser near 0 */
    for (int r = 0; r < rows; ++r)
        y[r] = -1.5 + 3.0 * r / (rows - 1);
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c)
            values[r * columns + c] = sin(3 * x[c]) * exp(-y[r] * y[r]);
    }

    _GNUPLOT_CTRL_ *h = gnuplot_init();
    if (h == NULL)
        return 1;
    gnuplot_set_xlabel(h, "x");
    gnuplot_set_ylabel(h, "y");
    gnuplot_cmd(h, "set palette rgbformulae 33,13,10");
    gnuplot_plot_grid(h, x, y, values, rows, columns, "sin(3x) exp(-y^2)");
    if (gnuplot_save(h, argc > 1 ? argv[1] : "heatmap.png") != 0)
        fprintf(stderr, "not saved: %s\n", gnuplot_last_error(h));
    gnuplot_close(h);
    return 0;
}
