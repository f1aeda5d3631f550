/* Plots x/y pairs from C into a PNG file: data_plot [output.png] */
#include <math.h>

#include "chartlink.h"

int main(int argc, char **argv) {
    enum { count = 200 };
    double x[count], y[count];
    for (int i = 0; i < count; ++i) {
        x[i] = i * 0.05;
        y[i] = exp(-x[i] / 4) * cos(2 * x[i]);
    }

    _GNUPLOT_CTRL_ *handle = gnuplot_init();
    if (handle == NULL)
        return 1;
    gnuplot_cmd(handle, "set terminal png size 800,500");
    gnuplot_cmd(handle, "set output \"%s\"", argc > 1 ? argv[1] : "damped.png");
    gnuplot_setstyle(handle, "lines");
    gnuplot_set_xlabel(handle, "time (s)");
    gnuplot_set_ylabel(handle, "amplitude");
    gnuplot_plot_xy(handle, x, y, count, "damped oscillation");
    gnuplot_close(handle); /* waits until the image is written */
    return 0;
}
