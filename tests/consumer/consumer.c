/* A C program built against an installed chartlink through pkg-config. */
#include <chartlink.h>

int main(void) {
    _GNUPLOT_CTRL_ *handle = gnuplot_init();
    if (handle == NULL)
        return 1;
    gnuplot_plot_equation(handle, "x**2", "from C");
    gnuplot_close(handle);
    return 0;
}
