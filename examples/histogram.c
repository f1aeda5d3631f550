/* A histogram of a million samples, counted by the library: histogram [output.png] */
#include <math.h>
#include <stdio.h>
#include <stdlib.h>

#include "chartlink.h"

int main(int argc, char **argv) {
    enum { count = 1000000 };
    double *samples = malloc(count * sizeof *samples);
    if (samples == NULL)
        return 1;
    unsigned long long state = 42;
    for (int i = 0; i < count; ++i) { /* two normal bumps, by Box-Muller */
        double u[2];
        for (int k = 0; k < 2; ++k) {
            state = state * 6364136223846793005ULL + 1442695040888963407ULL;
            u[k] = ((double)(state >> 11) + 0.5) / 9007199254740992.0;
        }
        const double normal = sqrt(-2 * log(u[0])) * cos(2 * 3.14159265358979 * u[1]);
        samples[i] = i % 3 == 0 ? 4 + 0.5 * normal : normal;
    }

    _GNUPLOT_CTRL_ *h = gnuplot_init();
    if (h == NULL)
        return 1;
    gnuplot_set_xlabel(h, "value");
    gnuplot_set_ylabel(h, "samples per bin");
    gnuplot_plot_histogram(h, samples, count, 80, "a million samples");
    if (gnuplot_save(h, argc > 1 ? argv[1] : "histogram.png") != 0)
        fprintf(stderr, "not saved: %s\n", gnuplot_last_error(h));
    gnuplot_close(h);
    free(samples);
    return 0;
}
