#include "support.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <fstream>

#include <sys/stat.h>

namespace bench {
namespace {

// A directory of the benchmarks' own, removed at exit, holding the tests'
// stand-in for gnuplot.
class Workspace {
public:
    Workspace() : real_path_(std::getenv("PATH")) {
        if (mkdtemp(dir_) == nullptr)
            std::abort();
        std::ifstream stand_in(FAKE_GNUPLOT_SCRIPT);
        std::ofstream(path("gnuplot")) << stand_in.rdbuf();
        chmod(path("gnuplot").c_str(), 0755);
        setenv("DISPLAY", ":0", 1);
        setenv("FAKE_GNUPLOT_LOG", "/dev/null", 1);
    }
    ~Workspace() {
        std::remove(path("gnuplot").c_str());
        std::remove(path("plot.png").c_str());
        rmdir(dir_);
    }
    Workspace(const Workspace &) = delete;
    Workspace &operator=(const Workspace &) = delete;

    std::string path(const std::string &name) const { return std::string(dir_) + "/" + name; }
    void use_discarding_gnuplot() const { setenv("PATH", (dir_ + (":" + real_path_)).c_str(), 1); }
    void use_real_gnuplot() const { setenv("PATH", real_path_.c_str(), 1); }
    void use_window_gnuplot(const std::string &display) const {
        setenv("PATH", (WINDOW_GNUPLOT_DIR ":" + real_path_).c_str(), 1);
        setenv("DISPLAY", display.c_str(), 1);
    }

private:
    char dir_[32] = "/tmp/chartlink_bench_XXXXXX";
    std::string real_path_;
};

const Workspace &workspace() {
    static const Workspace made;
    return made;
}

} // namespace

const Points &points() {
    static const Points made = [] {
        Points made_points;
        for (std::size_t i = 0; i < point_rows; ++i) {
            made_points.x.push_back(static_cast<double>(i) * 0.001);
            made_points.y.push_back(1000 * std::sin(made_points.x.back()));
        }
        return made_points;
    }();
    return made;
}

void prepare() {
    workspace();
    points();
}

std::string work_path(const std::string &name) {
    return workspace().path(name);
}

void use_discarding_gnuplot() {
    workspace().use_discarding_gnuplot();
}
void use_real_gnuplot() {
    workspace().use_real_gnuplot();
}
void use_window_gnuplot(const std::string &display) {
    workspace().use_window_gnuplot(display);
}
bool window_gnuplot_unpacked() {
    return access(WINDOW_GNUPLOT_DIR "/gnuplot", X_OK) == 0;
}

std::string png_terminal(Png size) {
    return size == Png::standard ? "set terminal png" : "set terminal png size 800,600";
}

std::string png_output() {
    return "set output '" + work_path("plot.png") + "'";
}

void send(_GNUPLOT_CTRL_ *handle, const std::string &line) {
    gnuplot_cmd(handle, "%s", line.c_str());
}

_GNUPLOT_CTRL_ *open_png(Png size) {
    _GNUPLOT_CTRL_ *handle = gnuplot_init();
    send(handle, png_terminal(size));
    send(handle, png_output());
    return handle;
}

GnuplotScript::GnuplotScript(const std::string &name, const std::string &text)
    : path_(work_path(name)) {
    std::ofstream(path_) << text;
}

GnuplotScript::~GnuplotScript() {
    std::remove(path_.c_str());
}

void GnuplotScript::run() const {
    if (std::system(("gnuplot " + path_).c_str()) != 0)
        std::abort();
}

void write_doubles(const std::string &path, const double *values, std::size_t count) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char *>(values),
               static_cast<std::streamsize>(count * sizeof(double)));
}

FrameFiles::FrameFiles(const std::string &name, std::size_t count, const Fill &fill)
    : dir_(work_path(name)), count_(count) {
    mkdir(dir_.c_str(), 0700);
    std::vector<double> values;
    for (std::size_t frame = 0; frame < count_; ++frame) {
        fill(frame, values);
        write_doubles(file(frame), values.data(), values.size());
    }
}

FrameFiles::~FrameFiles() {
    for (std::size_t frame = 0; frame < count_; ++frame)
        std::remove(file(frame).c_str());
    rmdir(dir_.c_str());
}

void write_or_abort(int fd, const char *data, std::size_t size) {
    if (write(fd, data, size) != static_cast<ssize_t>(size))
        std::abort();
}

double seconds_of(const std::function<void()> &run) {
    const auto start = std::chrono::steady_clock::now();
    run();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void set_points_processed(benchmark::State &state) {
    state.SetItemsProcessed(state.iterations() * point_count);
}

void reset_untimed(benchmark::State &state, _GNUPLOT_CTRL_ *handle) {
    state.PauseTiming();
    gnuplot_resetplot(handle);
    if (gnuplot_sync(handle, -1) != 0)
        std::abort();
    state.ResumeTiming();
}

} // namespace bench
