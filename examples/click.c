/* Prints the graph coordinates of each click in the plot window until the
 * window is closed: click */
#include <stdio.h>

#include "chartlink.h"

int main(void) {
    _GNUPLOT_CTRL_ *h = gnuplot_init();
    if (h == NULL)
        return 1;
    gnuplot_plot_equation(h, "sin(x)", "click on me");
    gnuplot_event event;
    while (gnuplot_next_event(h, &event, -1) == 0 && event.type != GNUPLOT_EVENT_CLOSE) {
        if (event.type == GNUPLOT_EVENT_CLICK)
            printf("button %d at x = %g, y = %g\n", event.button, event.x, event.y);
        fflush(stdout);
    }
    gnuplot_close(h);
    return 0;
}
