// Figures through the real gnuplot, open to close, into an 800 x 600 png:
// ten curves of 10^5 points as ten plots (each a replot that reads every
// earlier file again and draws the graph again) against one plot line in a
// one-panel layout; a histogram of 10^8 values counted by the library
// against the values written raw and counted by gnuplot's own `bins`.
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "support.h"

namespace bench {
namespace {

constexpr int curve_count = 10, curve_points = 100000;
constexpr int histogram_bins = 100;

void draw_curves(const std::vector<double> &x, const std::vector<std::vector<double>> &ys,
                 bool one_line) {
    _GNUPLOT_CTRL_ *handle = open_png(Png::size_800x600);
    gnuplot_set_curve_style(handle, "lines");
    if (one_line)
        gnuplot_set_layout(handle, 1, 1, nullptr);
    for (const std::vector<double> &y : ys) {
        const double *const pair[] = {x.data(), y.data()};
        gnuplot_plot_columns(handle, pair, 2, curve_points, nullptr);
    }
    if (one_line)
        gnuplot_end_layout(handle);
    gnuplot_close(handle);
}

void ten_curves(benchmark::State &state) {
    use_real_gnuplot();
    std::vector<double> x;
    std::vector<std::vector<double>> ys(curve_count);
    for (int i = 0; i < curve_points; ++i)
        x.push_back(i * 1e-3);
    for (std::size_t k = 0; k < ys.size(); ++k) {
        for (double at : x)
            ys[k].push_back(static_cast<double>(k + 1) * std::sin(at + static_cast<double>(k)));
    }
    std::vector<double> separate_s, one_line_s;
    for (auto _ : state) {
        separate_s.push_back(seconds_of([&] { draw_curves(x, ys, false); }));
        one_line_s.push_back(seconds_of([&] { draw_curves(x, ys, true); }));
        state.SetIterationTime(separate_s.back() + one_line_s.back());
    }
    state.counters = {{"separate_s", median(separate_s)}, {"one_line_s", median(one_line_s)}};
}

void histogram(benchmark::State &state) {
    use_real_gnuplot();
    const auto count = static_cast<int>(state.range(0));
    std::vector<double> values(static_cast<std::size_t>(count));
    std::mt19937_64 random(1);
    std::normal_distribution<double> normal;
    for (double &value : values)
        value = normal(random);
    const std::string raw = work_path("values.bin");
    double library_s = 0, bins_s = 0;
    for (auto _ : state) {
        library_s = seconds_of([&] {
            _GNUPLOT_CTRL_ *handle = open_png(Png::size_800x600);
            gnuplot_plot_histogram(handle, values.data(), count, histogram_bins, nullptr);
            gnuplot_close(handle);
        });
        bins_s = seconds_of([&] {
            _GNUPLOT_CTRL_ *handle = open_png(Png::size_800x600);
            write_doubles(raw, values.data(), values.size());
            gnuplot_cmd(handle,
                        "plot '%s' binary format='%%float64' using 1 bins=%d with boxes notitle",
                        raw.c_str(), histogram_bins);
            gnuplot_close(handle);
        });
        std::remove(raw.c_str());
        state.SetIterationTime(library_s + bins_s);
    }
    state.counters = {{"library_s", library_s}, {"gnuplot_bins_s", bins_s}};
}

} // namespace

BENCHMARK(ten_curves)
    ->Name("figure/ten_curves")
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(histogram)
    ->Name("figure/histogram_hundred_million")
    ->Arg(100000000)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace bench
