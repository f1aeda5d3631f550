#include <chartlink.h>

int main() {
    _GNUPLOT_CTRL_ *handle = gnuplot_init();
    if (handle == nullptr)
        return 1;
    gnuplot_plot_slope(handle, 0.5, 2, "from C++");
    gnuplot_close(handle);
    return 0;
}
