// How fast a million x/y pairs reach a data file: the library against the
// limit (shortest text, 64 KiB blocks) and a line-at-a-time writer.
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include "chartlink.h"

namespace {

constexpr int point_count = 1000000;

struct Points {
    std::vector<double> x, y;
    Points() {
        for (int i = 0; i < point_count; ++i) {
            x.push_back(i * 0.001);
            y.push_back(1000 * std::sin(x.back()));
        }
    }
};

const Points &points() {
    static const Points made;
    return made;
}

// A gnuplot that reads and discards everything, first on PATH.
void install_discarding_gnuplot() {
    static char dir[] = "/tmp/chartlink_bench_XXXXXX";
    if (mkdtemp(dir) == nullptr)
        std::abort();
    const std::string script = std::string(dir) + "/gnuplot";
    std::ofstream(script) << "#!/bin/sh\nexec cat >/dev/null\n";
    chmod(script.c_str(), 0755);
    setenv("PATH", (std::string(dir) + ":" + std::getenv("PATH")).c_str(), 1);
    setenv("DISPLAY", ":0", 1);
}

void set_points_processed(benchmark::State &state) {
    state.SetItemsProcessed(state.iterations() * point_count);
}

void library(benchmark::State &state) {
    _GNUPLOT_CTRL_ *handle = gnuplot_init();
    for (auto _ : state) {
        gnuplot_plot_xy(handle, points().x.data(), points().y.data(), point_count, "bench");
        gnuplot_resetplot(handle);
    }
    gnuplot_close(handle);
    set_points_processed(state);
}

// Writes a data file with write_lines(fd), then removes it.
template <class WriteLines> void temp_file_round(WriteLines write_lines) {
    char name[] = "/tmp/chartlink-XXXXXX";
    const int fd = mkstemp(name);
    write_lines(fd);
    close(fd);
    std::remove(name);
}

void write_or_abort(int fd, const char *data, std::size_t size) {
    if (write(fd, data, size) != static_cast<ssize_t>(size))
        std::abort();
}

void limit(benchmark::State &state) {
    for (auto _ : state) {
        temp_file_round([](int fd) {
            static char block[64 * 1024];
            std::size_t used = 0;
            for (int i = 0; i < point_count; ++i) {
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
        temp_file_round([](int fd) {
            char line[64];
            for (int i = 0; i < point_count; ++i) {
                const int length =
                    std::snprintf(line, sizeof line, "%g %g\n", points().x[i], points().y[i]);
                write_or_abort(fd, line, static_cast<std::size_t>(length));
            }
        });
    }
    set_points_processed(state);
}

// The console report, then how the three compare.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run> &runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs)
            rates_[run.benchmark_name()] = run.counters.at("items_per_second");
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        const double lib = rates_["library"], lim = rates_["limit"], slow = rates_["naive"];
        std::printf("\npoints per second: library %.3g, limit %.3g, naive %.3g\n", lib, lim, slow);
        std::printf("limit / library: %.2fx (target at most 1.5x)\n", lim / lib);
        std::printf("library / naive: %.2fx (target at least 8x)\n", lib / slow);
    }

private:
    std::map<std::string, double> rates_;
};

} // namespace

BENCHMARK(library)->Unit(benchmark::kMillisecond);
BENCHMARK(limit)->Unit(benchmark::kMillisecond);
BENCHMARK(naive)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv) {
    install_discarding_gnuplot();
    points();
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
}
