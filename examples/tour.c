/* The README's tour: squares as data and as a formula, saved as one image.
 * tour [output.png] */
#include <stdio.h>

#include <chartlink.h>

int main(int argc, char **argv) {
    double x[100], y[100];
    for (int i = 0; i < 100; ++i) {
        x[i] = i * 0.1;
        y[i] = x[i] * x[i];
    }

    _GNUPLOT_CTRL_ *h = gnuplot_init(); /* starts gnuplot; NULL on failure */
    if (h == NULL)
        return 1;
    gnuplot_setstyle(h, "lines");
    gnuplot_set_xlabel(h, "x");
    gnuplot_set_ylabel(h, "x squared");
    gnuplot_plot_xy(h, x, y, 100, "data");       /* "plot": first curve */
    gnuplot_plot_equation(h, "x**2", "formula"); /* "replot": added to the graph */
    /* One image, complete on return; 1 and gnuplot's message on an error. */
    if (gnuplot_save(h, argc > 1 ? argv[1] : "squares.png") != 0)
        fprintf(stderr, "not saved: %s\n", gnuplot_last_error(h));
    gnuplot_close(h); /* ends gnuplot, removes the data file */
    return 0;
}
