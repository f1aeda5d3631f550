/* Ten million points of a random walk drawn as lines, reduced to what the
 * pixels show: ten_million [output.png] */
#include <stdio.h>
#include <stdlib.h>

#include "chartlink.h"

int main(int argc, char **argv) {
    enum { count = 10000000 };
    double *x = malloc(count * sizeof *x), *y = malloc(count * sizeof *y);
    if (x == NULL || y == NULL)
        return 1;
    double walk = 0;
    unsigned long long state = 88172645463325252ULL;
    for (int i = 0; i < count; ++i) {
        state ^= state << 13, state ^= state >> 7, state ^= state << 17; /* xorshift */
        walk += (double)(state >> 11) / 9007199254740992.0 - 0.5;
        x[i] = i * 1e-6;
        y[i] = walk;
    }

    _GNUPLOT_CTRL_ *h = gnuplot_init();
    if (h != NULL) {
        gnuplot_cmd(h, "set terminal png size 800,600");
        gnuplot_cmd(h, "set output '%s'", argc > 1 ? argv[1] : "ten_million.png");
        gnuplot_setstyle(h, "lines");
        gnuplot_set_xlabel(h, "t");
        gnuplot_plot_xy_reduced(h, x, y, count, "random walk, 10^7 points");
        gnuplot_close(h);
    }
    free(x);
    free(y);
    return h == NULL;
}
