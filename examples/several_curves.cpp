// Several curves on one graph, with the handle closed automatically.
#include <cmath>
#include <memory>
#include <vector>

#include "chartlink.h"

namespace {

struct CloseGnuplot {
    void operator()(_GNUPLOT_CTRL_ *handle) const { gnuplot_close(handle); }
};
using Gnuplot = std::unique_ptr<_GNUPLOT_CTRL_, CloseGnuplot>;

} // namespace

int main() {
    Gnuplot plot(gnuplot_init());
    if (!plot)
        return 1;
    // Every plot and replot draws the whole graph anew: the drafts go to
    // /dev/null and only the finished graph into the file.
    gnuplot_cmd(plot.get(), "set terminal png");
    gnuplot_cmd(plot.get(), "set output \"/dev/null\"");

    // The first curve is sent with "plot", each later one with "replot".
    gnuplot_setstyle(plot.get(), "lines");
    gnuplot_plot_equation(plot.get(), "sin(x)", "sine");
    gnuplot_plot_slope(plot.get(), 0.1, -0.5, "a straight line");

    std::vector<double> samples;
    for (int i = 0; i < 40; ++i)
        samples.push_back(std::cos(i * 0.25));
    gnuplot_setstyle(plot.get(), "points");
    gnuplot_plot_x(plot.get(), samples.data(), static_cast<int>(samples.size()), "cos samples");

    gnuplot_cmd(plot.get(), "set output \"curves.png\"");
    gnuplot_cmd(plot.get(), "replot");
} // plot goes out of scope: gnuplot_close waits for curves.png and cleans up
