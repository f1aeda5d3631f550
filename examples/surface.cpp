// A surface from nested rows, coloured by value: surface [output.png]
#include <cmath>
#include <iostream>
#include <vector>

#include "chartlink.hpp"

int main(int argc, char **argv) {
    std::vector<double> x, y;
    for (int i = 0; i < 41; ++i)
        x.push_back(-2 + i * 0.1);
    for (int i = 0; i < 31; ++i)
        y.push_back(-1.5 + i * 0.1);
    std::vector<std::vector<double>> rows;
    for (double b : y) {
        rows.emplace_back();
        for (double a : x)
            rows.back().push_back(std::exp(-(a * a + b * b)) * std::cos(2 * a));
    }
    try {
        chartlink::Gnuplot plot;
        plot.send("set hidden3d")
            .send("set view 55, 35")
            .splot_grid({x, y, rows}, "exp(-r^2) cos 2x")
            .save(argc > 1 ? argv[1] : "surface.png");
    } catch (const chartlink::Error &error) {
        std::cerr << error.what() << '\n';
        return 1;
    }
    return 0;
}
