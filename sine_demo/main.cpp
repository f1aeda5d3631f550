// Draws sin(x) into sine.png in the current directory.
#include "chartlink.h"

int main() {
    _GNUPLOT_CTRL_ *handle = gnuplot_init();
    if (handle == nullptr)
        return 1;
    gnuplot_cmd(handle, "set terminal png");
    gnuplot_cmd(handle, "set output \"sine.png\"");
    gnuplot_plot_equation(handle, "sin(x)", "Sine wave");
    // Waits for gnuplot to finish writing the image.
    gnuplot_close(handle);
    return 0;
}
