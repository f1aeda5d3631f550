// Several curves on one graph, saved once finished: several_curves [file]
#include <cmath>
#include <cstdio>
#include <vector>

#include "chartlink.hpp"

int main(int argc, char **argv) {
    std::vector<double> samples;
    for (int i = 0; i < 40; ++i)
        samples.push_back(std::cos(i * 0.25));
    try {
        chartlink::Gnuplot plot; // closed, and its data files removed, at the end of the scope
        // Curves pile up on gnuplot's own terminal (a window, where there is
        // one); the file is written once, by save(), with the finished graph.
        plot.style("lines")
            .plot_equation("sin(x)", "sine") // "plot"; each later curve is a "replot"
            .plot_slope(0.1, -0.5, "a straight line")
            .style("points")
            .plot(samples, "cos samples")
            .save(argc > 1 ? argv[1] : "curves.png");
    } catch (const chartlink::Error &error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
