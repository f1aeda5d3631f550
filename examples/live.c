/* A signal redrawn 60 times a second for ten seconds, then the window stays
 * until it is closed: live */
#define _POSIX_C_SOURCE 199309L /* nanosleep */
#include <math.h>
#include <stdio.h>
#include <time.h>

#include "chartlink.h"

enum { points = 1000, frames = 600 };

int main(void) {
    _GNUPLOT_CTRL_ *h = gnuplot_init();
    if (h == NULL)
        return 1;
    gnuplot_setstyle(h, "lines");
    gnuplot_cmd(h, "set yrange [-1.5:1.5]");
    static double x[points], y[points];
    int dropped = 0;
    for (int frame = 0; frame < frames; ++frame) {
        for (int i = 0; i < points; ++i) {
            x[i] = i * 0.01;
            y[i] = sin(x[i] * 3 - frame * 0.1) * cos(frame * 0.01);
        }
        const int result = gnuplot_plot_live(h, x, y, points, "signal");
        if (result < 0)
            break;
        dropped += result;
        const struct timespec sixtieth = {0, 1000000000L / 60};
        nanosleep(&sixtieth, NULL);
    }
    printf("%d of %d frames dropped while gnuplot was drawing\n", dropped, frames);
    gnuplot_wait_closed(h, -1);
    gnuplot_close(h);
    return 0;
}
