// Figures through the real gnuplot: ten curves of 10^5 points sent as ten
// plots (each a replot that reads every earlier file again) against one
// plot line in a one-panel layout; a histogram of 10^8 values counted by
// the library against gnuplot's own `bins` over a binary file.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include "chartlink.h"

namespace {

constexpr int curve_count = 10;
constexpr int curve_points = 100000;
constexpr int histogram_values = 100000000;
constexpr int histogram_bins = 100;

std::string scratch(const char *name) {
    const char *dir = std::getenv("TMPDIR");
    return std::string(dir != nullptr ? dir : "/tmp") + "/chartlink_figure_bench_" +
           std::to_string(getpid()) + "_" + name;
}

struct Curves {
    std::vector<double> x;
    std::vector<std::vector<double>> y;
    Curves() : y(curve_count) {
        for (int i = 0; i < curve_points; ++i)
            x.push_back(i * 1e-3);
        for (int k = 0; k < curve_count; ++k)
            for (double at : x)
                y[static_cast<std::size_t>(k)].push_back(std::sin(at + k) * (k + 1));
    }
};

const std::vector<double> &samples() {
    static const std::vector<double> made = [] {
        std::vector<double> values(static_cast<std::size_t>(histogram_values));
        std::mt19937_64 random(1);
        std::normal_distribution<double> normal;
        for (double &value : values)
            value = normal(random);
        return values;
    }();
    return made;
}

// A handle drawing into a png file; its gnuplot has started.
_GNUPLOT_CTRL_ *open_png(const std::string &image) {
    _GNUPLOT_CTRL_ *handle = gnuplot_init();
    if (handle == nullptr)
        std::abort();
    gnuplot_cmd(handle, "set terminal png size 800,600");
    gnuplot_cmd(handle, "set output '%s'", image.c_str());
    if (gnuplot_sync(handle, -1) != 0)
        std::abort();
    return handle;
}

template <bool one_line> void ten_curves(benchmark::State &state) {
    static const Curves curves;
    const std::string image = scratch("curves.png");
    for (auto _ : state) {
        state.PauseTiming();
        _GNUPLOT_CTRL_ *handle = open_png(image);
        gnuplot_set_curve_style(handle, "lines");
        state.ResumeTiming();
        if (one_line)
            gnuplot_set_layout(handle, 1, 1, nullptr);
        for (const auto &y : curves.y) {
            const double *const columns[] = {curves.x.data(), y.data()};
            gnuplot_plot_columns(handle, columns, 2, curve_points, nullptr);
        }
        if (one_line)
            gnuplot_end_layout(handle);
        if (gnuplot_sync(handle, -1) != 0)
            state.SkipWithError("gnuplot reported an error");
        state.PauseTiming();
        gnuplot_close(handle);
        state.ResumeTiming();
    }
    std::remove(image.c_str());
}

void histogram_library(benchmark::State &state) {
    const std::vector<double> &values = samples();
    const std::string image = scratch("library.png");
    for (auto _ : state) {
        state.PauseTiming();
        _GNUPLOT_CTRL_ *handle = open_png(image);
        state.ResumeTiming();
        gnuplot_plot_histogram(handle, values.data(), histogram_values, histogram_bins, nullptr);
        if (gnuplot_sync(handle, -1) != 0)
            state.SkipWithError("gnuplot reported an error");
        state.PauseTiming();
        gnuplot_close(handle);
        state.ResumeTiming();
    }
    std::remove(image.c_str());
}

// The values written raw, then counted by gnuplot as it plots.
void histogram_gnuplot_bins(benchmark::State &state) {
    const std::vector<double> &values = samples();
    const std::string image = scratch("bins.png"), data = scratch("values.bin");
    for (auto _ : state) {
        state.PauseTiming();
        _GNUPLOT_CTRL_ *handle = open_png(image);
        state.ResumeTiming();
        const int fd = open(data.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        const auto *bytes = reinterpret_cast<const char *>(values.data());
        std::size_t left = values.size() * sizeof(double);
        for (ssize_t written; left > 0 && (written = write(fd, bytes, left)) > 0;) {
            bytes += written;
            left -= static_cast<std::size_t>(written);
        }
        close(fd);
        gnuplot_cmd(handle,
                    "plot '%s' binary format='%%float64' using 1 bins=%d with boxes notitle",
                    data.c_str(), histogram_bins);
        if (left != 0 || gnuplot_sync(handle, -1) != 0)
            state.SkipWithError("the values did not reach gnuplot");
        state.PauseTiming();
        gnuplot_close(handle);
        state.ResumeTiming();
    }
    std::remove(data.c_str());
    std::remove(image.c_str());
}

} // namespace

BENCHMARK_TEMPLATE(ten_curves, false)
    ->Name("ten_curves_of_1e5_as_ten_plots")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();
BENCHMARK_TEMPLATE(ten_curves, true)
    ->Name("ten_curves_of_1e5_in_one_plot_line")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();
BENCHMARK(histogram_library)
    ->Name("histogram_of_1e8_counted_by_the_library")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseRealTime();
BENCHMARK(histogram_gnuplot_bins)
    ->Name("histogram_of_1e8_by_gnuplot_bins")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseRealTime();
BENCHMARK_MAIN();
