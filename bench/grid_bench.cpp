// Grids: a 2000 x 2000 heatmap into an 800 x 600 png, open to close,
// through the library and by gnuplot alone reading the same values from a
// file made beforehand.
#include <cmath>
#include <string>
#include <vector>

#include "support.h"

namespace bench {
namespace {

constexpr int grid_side = 2000;

const std::vector<double> &grid_values() {
    static const std::vector<double> made = [] {
        std::vector<double> values;
        for (int r = 0; r < grid_side; ++r) {
            for (int c = 0; c < grid_side; ++c)
                values.push_back(std::sin(c * 0.01) * std::cos(r * 0.013));
        }
        return values;
    }();
    return made;
}

void heatmap_library(benchmark::State &state) {
    use_real_gnuplot();
    for (auto _ : state) {
        _GNUPLOT_CTRL_ *handle = open_png(Png::size_800x600);
        gnuplot_plot_grid(handle, nullptr, nullptr, grid_values().data(), grid_side, grid_side,
                          "heatmap");
        gnuplot_close(handle);
    }
}

void heatmap_script(benchmark::State &state) {
    use_real_gnuplot();
    const std::string data = work_path("heatmap.grid"), side = std::to_string(grid_side);
    write_doubles(data, grid_values().data(), grid_values().size());
    const GnuplotScript script("heatmap.gp",
                               png_terminal(Png::size_800x600) + "\n" + png_output() + "\nplot '" +
                                   data + "' binary array=(" + side + "," + side +
                                   ") format='%float64' title 'heatmap' with image\n");
    for (auto _ : state)
        script.run();
    std::remove(data.c_str());
}

} // namespace

BENCHMARK(heatmap_script)
    ->Name("grid/heatmap_script")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();
BENCHMARK(heatmap_library)
    ->Name("grid/heatmap_library")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();

} // namespace bench
