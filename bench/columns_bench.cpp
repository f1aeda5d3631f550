// Binary columns: how fast the million pairs reach a data file as raw
// doubles, the library's against one write of the same bytes and a bare
// writer that interleaves the two arrays. Then the whole plot into a png
// through the real gnuplot, text against columns.
#include <algorithm>

#include "support.h"

namespace bench {
namespace {

void library(benchmark::State &state) {
    use_discarding_gnuplot();
    const double *const pair[] = {points().x.data(), points().y.data()};
    _GNUPLOT_CTRL_ *handle = gnuplot_init();
    for (auto _ : state) {
        gnuplot_plot_columns(handle, pair, 2, point_count, "bench");
        reset_untimed(state, handle);
    }
    gnuplot_close(handle);
    set_points_processed(state);
}

// The same bytes as library() writes, already laid out, in one write.
void raw_write(benchmark::State &state) {
    std::vector<double> records;
    for (std::size_t i = 0; i < point_rows; ++i) {
        records.push_back(points().x[i]);
        records.push_back(points().y[i]);
    }
    for (auto _ : state) {
        temp_file_round(state, [&](int fd) {
            write_or_abort(fd, reinterpret_cast<const char *>(records.data()),
                           records.size() * sizeof(double));
        });
    }
    set_points_processed(state);
}

// The least any writer of records from separate arrays does: interleave
// them into a 1 MiB block, write the block, repeat.
void interleave_write(benchmark::State &state) {
    constexpr std::size_t rows_per_block = (1 << 20) / (2 * sizeof(double));
    std::vector<double> block(2 * rows_per_block);
    const double *x = points().x.data(), *y = points().y.data();
    for (auto _ : state) {
        temp_file_round(state, [&](int fd) {
            for (std::size_t first = 0; first < point_rows; first += rows_per_block) {
                const std::size_t rows = std::min(rows_per_block, point_rows - first);
                for (std::size_t i = 0; i < rows; ++i) {
                    block[2 * i] = x[first + i];
                    block[2 * i + 1] = y[first + i];
                }
                write_or_abort(fd, reinterpret_cast<const char *>(block.data()),
                               2 * sizeof(double) * rows);
            }
        });
    }
    set_points_processed(state);
}

// From open to close: gnuplot reads the data file and draws a png.
void end_to_end(benchmark::State &state, bool columns) {
    use_real_gnuplot();
    const double *const pair[] = {points().x.data(), points().y.data()};
    for (auto _ : state) {
        _GNUPLOT_CTRL_ *handle = open_png(Png::standard);
        if (columns)
            gnuplot_plot_columns(handle, pair, 2, point_count, "bench");
        else
            gnuplot_plot_xy(handle, pair[0], pair[1], point_count, "bench");
        gnuplot_close(handle);
    }
    set_points_processed(state);
}

} // namespace

BENCHMARK(library)->Name("columns/library")->Unit(benchmark::kMillisecond);
BENCHMARK(raw_write)->Name("columns/raw_write")->Unit(benchmark::kMillisecond);
BENCHMARK(interleave_write)->Name("columns/interleave_write")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(end_to_end, xy, false)
    ->Name("columns/end_to_end_xy")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();
BENCHMARK_CAPTURE(end_to_end, columns, true)
    ->Name("columns/end_to_end_columns")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();

} // namespace bench
