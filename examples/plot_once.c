/* One call: plot an array on screen and wait for Enter. */
#include "chartlink.h"

int main(void) {
    const double squares[] = {0, 1, 4, 9, 16, 25, 36, 49};
    gnuplot_plot_once("squares", "linespoints", "n", "n * n", squares, NULL, 8);
    return 0;
}
