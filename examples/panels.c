/* Four panels, a coloured curve in each, axes lined up: panels [output.png] */
#include <math.h>
#include <stdio.h>

#include "chartlink.h"

int main(int argc, char **argv) {
    enum { count = 400 };
    static double t[count], wave[4][count];
    for (int i = 0; i < count; ++i) {
        t[i] = 10.0 * i / (count - 1);
        wave[0][i] = sin(t[i]);
        wave[1][i] = 100 * exp(-t[i] / 3) * cos(3 * t[i]);
        wave[2][i] = t[i] * t[i];
        wave[3][i] = sin(t[i]) * sin(7 * t[i]);
    }
    const char *const styles[] = {"lines lc rgb '#1f77b4' lw 2", "lines lc rgb '#d62728' lw 2",
                                  "lines lc rgb '#2ca02c' lw 2", "lines lc rgb '#9467bd' lw 2"};
    const char *const titles[] = {"sin t", "damped", "t^2", "beats"};

    _GNUPLOT_CTRL_ *h = gnuplot_init();
    if (h == NULL)
        return 1;
    gnuplot_cmd(h, "unset key");
    gnuplot_set_layout(h, 2, 2, "Four signals");
    for (int p = 0; p < 4; ++p) {
        if (p > 0)
            gnuplot_next_panel(h);
        gnuplot_cmd(h, "set title '%s'", titles[p]); /* this panel's own */
        gnuplot_set_curve_style(h, styles[p]);
        gnuplot_plot_xy(h, t, wave[p], count, NULL);
    }
    gnuplot_end_layout(h);
    if (gnuplot_save(h, argc > 1 ? argv[1] : "panels.png") != 0)
        fprintf(stderr, "not saved: %s\n", gnuplot_last_error(h));
    gnuplot_close(h);
    return 0;
}
