// What every family of benchmarks shares: the million points, the directory
// the benchmarks work in, where gnuplot comes from, the png the real gnuplot
// draws into, frames in files, and timing.
#ifndef CHARTLINK_BENCH_SUPPORT_H
#define CHARTLINK_BENCH_SUPPORT_H

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <unistd.h>

#include "chartlink.h"

namespace bench {

constexpr int point_count = 1000000;
constexpr std::size_t point_rows = point_count;

// x = i * 0.001, y = 1000 sin x.
struct Points {
    std::vector<double> x, y;
};
const Points &points();

// Makes the points and the working directory before anything is timed.
void prepare();

// A path in the benchmarks' own directory, which is removed at exit.
std::string work_path(const std::string &name);

// Where the plots that follow find gnuplot: the tests' stand-in, which
// discards what it reads and answers syncs, the real one, or the one with
// windows that scripts/window-gnuplot.sh unpacks, showing them on display.
void use_discarding_gnuplot();
void use_real_gnuplot();
void use_window_gnuplot(const std::string &display);
bool window_gnuplot_unpacked();

// The png every real plot draws into: gnuplot's own size or 800 x 600. The
// lines are the same for the library and for scripts.
enum class Png { standard, size_800x600 };
std::string png_terminal(Png size);
std::string png_output();
void send(_GNUPLOT_CTRL_ *handle, const std::string &line);
// Opens gnuplot with the png set up.
_GNUPLOT_CTRL_ *open_png(Png size);

// A script the real gnuplot runs by itself: the limit the library is
// measured against. Removed with the object.
class GnuplotScript {
public:
    GnuplotScript(const std::string &name, const std::string &text);
    ~GnuplotScript();
    GnuplotScript(const GnuplotScript &) = delete;
    GnuplotScript &operator=(const GnuplotScript &) = delete;

    void run() const;

private:
    std::string path_;
};

void write_doubles(const std::string &path, const double *values, std::size_t count);

// Frames made beforehand for gnuplot to read, file(frame) for frame 0 to
// count - 1, each the doubles fill(frame, values) leaves; in a directory of
// the benchmarks' own, removed with the object.
class FrameFiles {
public:
    using Fill = std::function<void(std::size_t frame, std::vector<double> &values)>;
    FrameFiles(const std::string &name, std::size_t count, const Fill &fill);
    ~FrameFiles();
    FrameFiles(const FrameFiles &) = delete;
    FrameFiles &operator=(const FrameFiles &) = delete;

    const std::string &dir() const { return dir_; }
    std::string file(std::size_t frame) const { return dir_ + "/" + std::to_string(frame); }

private:
    std::string dir_;
    std::size_t count_;
};
void write_or_abort(int fd, const char *data, std::size_t size);

double seconds_of(const std::function<void()> &run);
double median(std::vector<double> values);

// Every iteration handles the million points.
void set_points_processed(benchmark::State &state);

// Resets and syncs, untimed, after which the library removes the earlier
// data files, as the other writers remove theirs untimed.
void reset_untimed(benchmark::State &state, _GNUPLOT_CTRL_ *handle);

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

} // namespace bench

#endif
