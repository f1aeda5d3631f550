// Reduced plots: a random walk of 10^7 (and 10^8) points as lines into an
// 800 x 600 png, open to close, every point as columns against reduced,
// interleaved. Each plot runs in a child process of its own; gnuplot
// reports its own peak memory (VmHWM) once it has drawn.
#include <algorithm>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <sys/wait.h>

#include "support.h"

namespace bench {
namespace {

struct PlotRun {
    double seconds = 0, gnuplot_peak_mib = 0;
};

double mib_in(const std::string &path) {
    std::ifstream in(path);
    double kib = 0;
    in >> kib;
    return kib / 1024;
}

// Writes gnuplot's peak memory into work_path("peak") before it closes.
void draw(const std::vector<double> &x, const std::vector<double> &y, bool reduced) {
    _GNUPLOT_CTRL_ *handle = open_png(Png::size_800x600);
    gnuplot_setstyle(handle, "lines");
    const double *const pair[] = {x.data(), y.data()};
    const int count = static_cast<int>(x.size());
    reduced ? gnuplot_plot_xy_reduced(handle, x.data(), y.data(), count, "walk")
            : gnuplot_plot_columns(handle, pair, 2, count, "walk");
    gnuplot_cmd(handle, "!sed -n 's/VmHWM: *//p' /proc/$PPID/status > %s",
                work_path("peak").c_str());
    gnuplot_close(handle);
}

PlotRun run_line_plot(const std::vector<double> &x, const std::vector<double> &y, bool reduced) {
    int report[2];
    if (pipe(report) != 0)
        std::abort();
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        const double seconds = seconds_of([&] { draw(x, y, reduced); });
        const PlotRun run{seconds, mib_in(work_path("peak"))};
        std::remove(work_path("peak").c_str());
        _exit(write(report[1], &run, sizeof run) == sizeof run ? 0 : 1);
    }
    close(report[1]);
    PlotRun run;
    if (read(report[0], &run, sizeof run) != sizeof run)
        std::abort();
    close(report[0]);
    waitpid(child, nullptr, 0);
    return run;
}

void walk_as_lines(benchmark::State &state) {
    use_real_gnuplot();
    const auto count = static_cast<std::size_t>(state.range(0));
    std::vector<double> x(count), y(count);
    std::mt19937_64 random(1);
    std::normal_distribution<double> step;
    double walk = 0;
    for (std::size_t i = 0; i < count; ++i) {
        x[i] = static_cast<double>(i);
        y[i] = walk += step(random);
    }
    std::vector<double> columns_s, reduced_s;
    double columns_peak = 0, reduced_peak = 0;
    for (auto _ : state) {
        const PlotRun every = run_line_plot(x, y, false), fewer = run_line_plot(x, y, true);
        columns_s.push_back(every.seconds);
        reduced_s.push_back(fewer.seconds);
        columns_peak = std::max(columns_peak, every.gnuplot_peak_mib);
        reduced_peak = std::max(reduced_peak, fewer.gnuplot_peak_mib);
        state.SetIterationTime(every.seconds + fewer.seconds);
    }
    state.counters["columns_s"] = median(columns_s);
    state.counters["reduced_s"] = median(reduced_s);
    state.counters["columns_MiB"] = columns_peak;
    state.counters["reduced_MiB"] = reduced_peak;
}

} // namespace

BENCHMARK(walk_as_lines)
    ->Name("reduced/ten_million")
    ->Arg(10000000)
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(walk_as_lines)
    ->Name("reduced/hundred_million")
    ->Arg(100000000)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace bench
