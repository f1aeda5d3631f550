/* Bars with their labels, exactly as written: bars [output.png] */
#include <stdio.h>

#include "chartlink.h"

int main(int argc, char **argv) {
    const char *const labels[] = {"C", "C++", "\"Rust\"", "it's Go", "50% Python", "x_1^2 & {y}"};
    const double users[] = {14, 22, 9, 11, 30, 4};
    const int count = sizeof users / sizeof users[0];

    _GNUPLOT_CTRL_ *h = gnuplot_init();
    if (h == NULL)
        return 1;
    gnuplot_cmd(h, "set key top left; set offsets 0.2, 0.2, 0, 0");
    gnuplot_set_ylabel(h, "users");
    gnuplot_plot_bars(h, labels, users, count, "this week");
    const int saved = gnuplot_save(h, argc > 1 ? argv[1] : "bars.png");
    if (saved != 0)
        fprintf(stderr, "not saved: %s\n", gnuplot_last_error(h));
    gnuplot_close(h);
    return saved == 0 ? 0 : 1;
}
