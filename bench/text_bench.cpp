// Text data: how fast a million x/y pairs reach a data file as text, the
// library's against the limit (shortest text gathered into 64 KiB blocks)
// and a writer of a line at a time.
#include <charconv>
#include <cstdio>

#include "support.h"

namespace bench {
namespace {

void library(benchmark::State &state) {
    use_discarding_gnuplot();
    _GNUPLOT_CTRL_ *handle = gnuplot_init();
    for (auto _ : state) {
        gnuplot_plot_xy(handle, points().x.data(), points().y.data(), point_count, "bench");
        reset_untimed(state, handle);
    }
    gnuplot_close(handle);
    set_points_processed(state);
}

void limit(benchmark::State &state) {
    for (auto _ : state) {
        temp_file_round(state, [](int fd) {
            static char block[64 * 1024];
            std::size_t used = 0;
            for (std::size_t i = 0; i < point_rows; ++i) {
                if (sizeof block - used < 64) {
                    write_or_abort(fd, block, used);
                    used = 0;
                }
                char *end = std::to_chars(block + used, block + sizeof block, points().x[i]).ptr;
                *end++ = ' ';
                end = std::to_chars(end, block + sizeof block, points().y[i]).ptr;
                *end++ = '\n';
                used = static_cast<std::size_t>(end - block);
            }
            write_or_abort(fd, block, used);
        });
    }
    set_points_processed(state);
}

void naive(benchmark::State &state) {
    for (auto _ : state) {
        temp_file_round(state, [](int fd) {
            char line[64];
            for (std::size_t i = 0; i < point_rows; ++i) {
                const int length =
                    std::snprintf(line, sizeof line, "%g %g\n", points().x[i], points().y[i]);
                write_or_abort(fd, line, static_cast<std::size_t>(length));
            }
        });
    }
    set_points_processed(state);
}

} // namespace

BENCHMARK(library)->Name("text/library")->Unit(benchmark::kMillisecond);
BENCHMARK(limit)->Name("text/limit")->Unit(benchmark::kMillisecond);
BENCHMARK(naive)->Name("text/naive")->Unit(benchmark::kMillisecond);

} // namespace bench
