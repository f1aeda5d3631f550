// How fast a million x/y pairs reach a data file: the library's text
// against the limit (shortest text, 64 KiB blocks) and a line-at-a-time
// writer; its raw doubles against one write of the same bytes. Then the
// whole plot into a png file through the real gnuplot, text against raw.
#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include "chartlink.h"

namespace {

constexpr int point_count = 1000000;
constexpr std::size_t point_rows = point_count;

struct Points {
    std::vector<double> x, y;
    Points() {
        for (std::size_t i = 0; i < point_rows; ++i) {
            x.push_back(static_cast<double>(i) * 0.001);
            y.push_back(1000 * std::sin(x.back()));
        }
    }
};

const Points &points() {
    static const Points made;
    return made;
}

// A directory of the benchmark's own, removed at exit, holding the tests'
// stand-in for gnuplot: it discards what it reads and answers syncs.
class Workspace {
public:
    Workspace() : real_path_(std::getenv("PATH")) {
        if (mkdtemp(dir_) == nullptr)
            std::abort();
        std::ifstream stand_in(FAKE_GNUPLOT_SCRIPT);
        std::ofstream(script()) << stand_in.rdbuf();
        chmod(script().c_str(), 0755);
        setenv("DISPLAY", ":0", 1);
        setenv("FAKE_GNUPLOT_LOG", "/dev/null", 1);
    }
    ~Workspace() {
        std::remove(script().c_str());
        std::remove(image().c_str());
        rmdir(dir_);
    }
    Workspace(const Workspace &) = delete;
    Workspace &operator=(const Workspace &) = delete;

    void use_discarding_gnuplot() const {
        setenv("PATH", (std::string(dir_) + ":" + real_path_).c_str(), 1);
    }
    void use_real_gnuplot() const { setenv("PATH", real_path_.c_str(), 1); }
    std::string image() const { return std::string(dir_) + "/plot.png"; }

private:
    std::string script() const { return std::string(dir_) + "/gnuplot"; }

    char dir_[32] = "/tmp/chartlink_bench_XXXXXX";
    std::string real_path_;
};

const Workspace &workspace() {
    static const Workspace made;
    return made;
}

void set_points_processed(benchmark::State &state) {
    state.SetItemsProcessed(state.iterations() * point_count);
}

// Resets and syncs, untimed, after which the library removes the earlier
// data files, as the other writers remove theirs untimed.
void reset_untimed(benchmark::State &state, _GNUPLOT_CTRL_ *handle) {
    state.PauseTiming();
    gnuplot_resetplot(handle);
    if (gnuplot_sync(handle, -1) != 0)
        std::abort();
    state.ResumeTiming();
}

void library(benchmark::State &state) {
    workspace().use_discarding_gnuplot();
    _GNUPLOT_CTRL_ *handle = gnuplot_init();
    for (auto _ : state) {
        gnuplot_plot_xy(handle, points().x.data(), points().y.data(), point_count, "bench");
        reset_untimed(state, handle);
    }
    gnuplot_close(handle);
    set_points_processed(state);
}

// Writes a data file with write_lines(fd), then removes it untimed.
template <class WriteLines> void temp_file_round(benchmark::State &state, WriteLines write_lines) {
    char name[] = "/tmp/chartlink-XXXXXX";
    const int fd = mkstemp(name);
    write_lines(fd);
    close(fd);
    state.PauseTiming();
    std::remove(name);
    state.ResumeTiming();
}

void write_or_abort(int fd, const char *data, std::size_t size) {
    if (write(fd, data, size) != static_cast<ssize_t>(size))
        std::abort();
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

void columns(benchmark::State &state) {
    workspace().use_discarding_gnuplot();
    const double *const pair[] = {points().x.data(), points().y.data()};
    _GNUPLOT_CTRL_ *handle = gnuplot_init();
    for (auto _ : state) {
        gnuplot_plot_columns(handle, pair, 2, point_count, "bench");
        reset_untimed(state, handle);
    }
    gnuplot_close(handle);
    set_points_processed(state);
}

// The same bytes as columns() writes, already laid out, in one write.
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
template <bool raw> void end_to_end(benchmark::State &state) {
    workspace().use_real_gnuplot();
    const double *const pair[] = {points().x.data(), points().y.data()};
    for (auto _ : state) {
        _GNUPLOT_CTRL_ *handle = gnuplot_init();
        gnuplot_cmd(handle, "set terminal png");
        gnuplot_cmd(handle, "set output \"%s\"", workspace().image().c_str());
        if (raw)
            gnuplot_plot_columns(handle, pair, 2, point_count, "bench");
        else
            gnuplot_plot_xy(handle, pair[0], pair[1], point_count, "bench");
        gnuplot_close(handle);
    }
    set_points_processed(state);
}

std::string read_text(const std::string &path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

double median(std::vector<double> &values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Animation: 200 frames of 10,000 points each, drawn into a png one after
// another, as a gnuplot script over files made beforehand draws them (the
// limit), and through the library with columns, a reset and a sync a frame.
constexpr int frame_count = 200;
constexpr int frame_points = 10000;

double seconds_of(const std::function<void()> &run) {
    const auto start = std::chrono::steady_clock::now();
    run();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void frames_through_library() {
    _GNUPLOT_CTRL_ *handle = gnuplot_init();
    gnuplot_cmd(handle, "set terminal png");
    gnuplot_setstyle(handle, "lines");
    for (int frame = 0; frame < frame_count; ++frame) {
        const double *const pair[] = {points().x.data(), points().y.data() + frame * 1000};
        gnuplot_cmd(handle, "set output \"%s\"", workspace().image().c_str());
        gnuplot_plot_columns(handle, pair, 2, frame_points, "frame");
        gnuplot_resetplot(handle);
        if (gnuplot_sync(handle, -1) != 0)
            std::abort();
    }
    gnuplot_close(handle);
}

// The limit: the same frames as binary files made beforehand, and one
// gnuplot script that plots them all. Only gnuplot's run is timed, and
// the two take turns, so that the machine's moods fall on both.
void frames(benchmark::State &state) {
    workspace().use_real_gnuplot();
    const std::string dir = workspace().image() + ".frames";
    mkdir(dir.c_str(), 0700);
    std::vector<double> record(2 * frame_points);
    for (std::size_t frame = 0; frame < frame_count; ++frame) {
        for (std::size_t i = 0; i < frame_points; ++i) {
            record[2 * i] = points().x[i];
            record[2 * i + 1] = points().y[frame * 1000 + i];
        }
        std::ofstream(dir + "/" + std::to_string(frame), std::ios::binary)
            .write(reinterpret_cast<const char *>(record.data()),
                   static_cast<std::streamsize>(record.size() * sizeof(double)));
    }
    const std::string script = dir + "/script.gp";
    std::ofstream(script) << "set terminal png\ndo for [frame=0:" << frame_count - 1
                          << "] {\n  set output '" << workspace().image() << "'\n  plot sprintf('"
                          << dir
                          << "/%d', frame) binary format='%2float64' using 1:2 "
                             "title 'frame' with lines\n}\n";
    const std::string command = "gnuplot " + script;
    std::vector<double> script_s, library_s;
    for (auto _ : state) {
        script_s.push_back(seconds_of([&] {
            if (std::system(command.c_str()) != 0)
                std::abort();
        }));
        library_s.push_back(seconds_of(frames_through_library));
        state.SetIterationTime(script_s.back() + library_s.back());
    }
    state.counters["script_frames_per_s"] = frame_count / median(script_s);
    state.counters["library_frames_per_s"] = frame_count / median(library_s);
    for (int frame = 0; frame < frame_count; ++frame)
        std::remove((dir + "/" + std::to_string(frame)).c_str());
    std::remove(script.c_str());
    rmdir(dir.c_str());
}

// A 2000 x 2000 heatmap into an 800 x 600 png, open to close, against
// gnuplot alone reading the same values from a file made beforehand.
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
    workspace().use_real_gnuplot();
    for (auto _ : state) {
        _GNUPLOT_CTRL_ *handle = gnuplot_init();
        gnuplot_cmd(handle, "set terminal png size 800,600");
        gnuplot_cmd(handle, "set output \"%s\"", workspace().image().c_str());
        gnuplot_plot_grid(handle, nullptr, nullptr, grid_values().data(), grid_side, grid_side,
                          "heatmap");
        gnuplot_close(handle);
    }
}

void heatmap_script(benchmark::State &state) {
    workspace().use_real_gnuplot();
    const std::string data = workspace().image() + ".grid", script = data + ".gp";
    std::ofstream(data, std::ios::binary)
        .write(reinterpret_cast<const char *>(grid_values().data()),
               static_cast<std::streamsize>(grid_values().size() * sizeof(double)));
    std::ofstream(script) << "set terminal png size 800,600\nset output '" << workspace().image()
                          << "'\nplot '" << data << "' binary array=(" << grid_side << ","
                          << grid_side << ") format='%float64' title 'heatmap' with image\n";
    const std::string command = "gnuplot " + script;
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0)
            std::abort();
    }
    std::remove(data.c_str());
    std::remove(script.c_str());
}

// A random walk of 10^7 (and 10^8) points as lines into an 800 x 600 png,
// open to close, every point as columns against reduced, interleaved. Each
// plot runs in a child process of its own; gnuplot reports its own peak
// memory (VmHWM) once it has drawn.
struct PlotRun {
    double seconds = 0, gnuplot_peak_mib = 0;
};

PlotRun run_line_plot(const std::vector<double> &x, const std::vector<double> &y, bool reduced) {
    int report[2];
    if (pipe(report) != 0)
        std::abort();
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        const auto start = std::chrono::steady_clock::now();
        _GNUPLOT_CTRL_ *handle = gnuplot_init();
        gnuplot_cmd(handle, "set terminal png size 800,600");
        gnuplot_cmd(handle, "set output \"%s\"", workspace().image().c_str());
        gnuplot_setstyle(handle, "lines");
        const double *const pair[] = {x.data(), y.data()};
        const int count = static_cast<int>(x.size());
        reduced ? gnuplot_plot_xy_reduced(handle, x.data(), y.data(), count, "walk")
                : gnuplot_plot_columns(handle, pair, 2, count, "walk");
        const std::string peak = workspace().image() + ".peak";
        gnuplot_cmd(handle, "!sed -n 's/VmHWM: *//p' /proc/$PPID/status > %s", peak.c_str());
        gnuplot_close(handle);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const PlotRun run{seconds, std::atof(read_text(peak).c_str()) / 1024};
        std::remove(peak.c_str());
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

void reduced_lines(benchmark::State &state) {
    workspace().use_real_gnuplot();
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
    const std::string points = std::to_string(count);
    state.counters["columns_s_" + points] = median(columns_s);
    state.counters["reduced_s_" + points] = median(reduced_s);
    state.counters["columns_MiB_" + points] = columns_peak;
    state.counters["reduced_MiB_" + points] = reduced_peak;
}

// Round trips: the median of 2,000 gnuplot_get_number() calls in a row, and
// of as many syncs, on the real gnuplot.
template <class Ask> std::vector<double> timed_round_trips(Ask ask) {
    std::vector<double> times;
    for (int i = 0; i < 2000; ++i) {
        const auto start = std::chrono::steady_clock::now();
        ask();
        times.push_back(
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
                .count());
    }
    return times;
}

void round_trips(benchmark::State &state) {
    workspace().use_real_gnuplot();
    _GNUPLOT_CTRL_ *handle = gnuplot_init();
    for (auto _ : state) {
        double value = 0;
        auto gets = timed_round_trips([&] {
            if (gnuplot_get_number(handle, "GPVAL_pi", &value, -1) != 0)
                std::abort();
        });
        auto syncs = timed_round_trips([&] {
            if (gnuplot_sync(handle, -1) != 0)
                std::abort();
        });
        state.counters["get_median_us"] = median(gets);
        state.counters["sync_median_us"] = median(syncs);
    }
    gnuplot_close(handle);
}

// The report, in colour only on a terminal, then how the writers compare.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    RatioReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular) {}

    void ReportRuns(const std::vector<Run> &runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            times_[run.benchmark_name()] = run.GetAdjustedRealTime();
            for (const auto &[name, counter] : run.counters)
                rates_[name == "items_per_second" ? run.benchmark_name() : name] = counter;
        }
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        const double lib = rates_["library"], lim = rates_["limit"], slow = rates_["naive"];
        std::printf("\npoints per second: library %.3g, limit %.3g, naive %.3g\n", lib, lim, slow);
        std::printf("limit / library: %.2fx (target at most 1.5x)\n", lim / lib);
        std::printf("library / naive: %.2fx (target at least 8x)\n", lib / slow);
        const double raw = rates_["columns"], bytes = rates_["raw_write"];
        std::printf("raw write / columns: %.2fx (target at most 1.3x)\n", bytes / raw);
        std::printf("interleaving writer / columns: %.2fx\n", rates_["interleave_write"] / raw);
        std::printf("columns / library: %.1fx (expected about 20x)\n", raw / lib);
        const double text_plot = rates_["end_to_end<false>/iterations:3/real_time"];
        const double raw_plot = rates_["end_to_end<true>/iterations:3/real_time"];
        std::printf("end to end, columns / xy: %.2fx (target at least 1.8x)\n",
                    raw_plot / text_plot);
        const double library_frames = rates_["library_frames_per_s"];
        const double script_frames = rates_["script_frames_per_s"];
        std::printf("frames per second: library %.1f, gnuplot script %.1f: %.2fx (target at "
                    "least 0.9x)\n",
                    library_frames, script_frames, library_frames / script_frames);
        const double heatmap_limit = times_["heatmap_script/iterations:3/real_time"];
        const double heatmap = times_["heatmap_library/iterations:3/real_time"];
        std::printf("2000 x 2000 heatmap: library %.0f ms, gnuplot alone %.0f ms: %.2fx (target "
                    "at most 1.15x)\n",
                    heatmap, heatmap_limit, heatmap / heatmap_limit);
        for (const char *points : {"10000000", "100000000"}) {
            const std::string n = points;
            if (rates_.count("columns_s_" + n) == 0)
                continue;
            const double every = rates_["columns_s_" + n], fewer = rates_["reduced_s_" + n];
            std::printf(
                "%s points as lines: columns %.2f s, reduced %.3f s: %.1fx (target at least "
                "10x at 10^7); gnuplot's peak memory %.0f MiB against %.0f MiB\n",
                points, every, fewer, every / fewer, rates_["columns_MiB_" + n],
                rates_["reduced_MiB_" + n]);
        }
        std::printf("round trip, median of 2000: get_number %.0f us (target under 200 us), "
                    "sync %.0f us\n",
                    rates_["get_median_us"], rates_["sync_median_us"]);
    }

private:
    std::map<std::string, double> rates_, times_;
};

} // namespace

BENCHMARK(library)->Unit(benchmark::kMillisecond);
BENCHMARK(limit)->Unit(benchmark::kMillisecond);
BENCHMARK(naive)->Unit(benchmark::kMillisecond);
BENCHMARK(columns)->Unit(benchmark::kMillisecond);
BENCHMARK(raw_write)->Unit(benchmark::kMillisecond);
BENCHMARK(interleave_write)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(end_to_end, false)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK_TEMPLATE(end_to_end, true)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(frames)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(heatmap_script)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(heatmap_library)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(reduced_lines)
    ->Arg(10000000)
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(reduced_lines)
    ->Arg(100000000)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(round_trips)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

int main(int argc, char **argv) {
    workspace();
    points();
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
}
