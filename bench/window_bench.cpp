// Live frames in a window under a virtual X server: frames drawn per second
// when a 10,000-point curve is handed to gnuplot_plot_live() as fast as the
// program can (back to back, and 1 ms apart), against gnuplot alone drawing
// the same frames from prepared files (also beside a program as busy as a
// caller making frames back to back: on a machine of few cores it takes one
// from gnuplot, its window's helper and the X server alike), in rounds that
// take turns; and how far the
// curve on screen is behind the newest one handed over, read from the
// screen's pixels after each call, and behind gnuplot's own answer when each
// frame is waited for (the window helper's lag, beyond any caller's reach).
// Without Xvfb or the window gnuplot the family is skipped.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "support.h"
#include "virtual_display.h"

namespace bench {
namespace {

using Clock = std::chrono::steady_clock;
constexpr int points = 10000, frames = 300, levels = 40;
constexpr auto run_time = std::chrono::seconds(3);

struct Terminal {
    const char *name;
    int top; // the canvas's first row inside the window
};

constexpr Terminal x11{"x11", 0}, qt{"qt", 41};

// Frame i: a curve at height i mod levels, with a ripple so that it is no
// straight line.
void fill_frame(int frame, std::vector<double> &x, std::vector<double> &y) {
    for (int k = 0; k < points; ++k) {
        x[static_cast<std::size_t>(k)] = k;
        y[static_cast<std::size_t>(k)] = frame % levels + 0.5 + 0.2 * std::sin(k * 0.05);
    }
}

_GNUPLOT_CTRL_ *open_window(const Terminal &terminal, const std::string &title) {
    _GNUPLOT_CTRL_ *h = gnuplot_init();
    gnuplot_cmd(h, "set terminal %s size 640,480 title '%s'", terminal.name, title.c_str());
    gnuplot_cmd(h, "set xrange [0:%d]; set yrange [0:%d]; unset key", points, levels);
    gnuplot_setstyle(h, "lines");
    return h;
}

// Frames as fast as the program can make them, for run_time: drawn frames
// per second.
double live_rate(const Terminal &terminal, useconds_t pause_us) {
    _GNUPLOT_CTRL_ *h = open_window(terminal, "bench-live");
    std::vector<double> x(points), y(points);
    fill_frame(0, x, y);
    gnuplot_plot_live(h, x.data(), y.data(), points, nullptr);
    gnuplot_sync(h, -1);
    int calls = 0, dropped = 0;
    const double seconds = seconds_of([&] {
        const Clock::time_point end = Clock::now() + run_time;
        while (Clock::now() < end) {
            fill_frame(++calls, x, y);
            dropped += gnuplot_plot_live(h, x.data(), y.data(), points, nullptr);
            usleep(pause_us);
        }
        gnuplot_sync(h, -1);
    });
    gnuplot_close(h);
    return (calls - dropped) / seconds;
}

// gnuplot alone: frames 1 to `frames` from files written beforehand, read
// from a script.
double script_rate(const Terminal &terminal) {
    const FrameFiles files("window_frames", frames,
                           [](std::size_t frame, std::vector<double> &rows) {
                               std::vector<double> x(points), y(points);
                               fill_frame(static_cast<int>(frame) + 1, x, y);
                               rows.resize(2 * x.size());
                               for (std::size_t k = 0; k < x.size(); ++k) {
                                   rows[2 * k] = x[k];
                                   rows[2 * k + 1] = y[k];
                               }
                           });
    std::string text;
    for (std::size_t frame = 0; frame < frames; ++frame)
        text += "plot '" + files.file(frame) + "' binary format='%2float64' using 1:2 with lines\n";
    const GnuplotScript script("window_frames.gp", text);
    _GNUPLOT_CTRL_ *h = open_window(terminal, "bench-script");
    gnuplot_cmd(h, "plot x");
    gnuplot_sync(h, -1);
    const double seconds = seconds_of([&] {
        gnuplot_cmd(h, "load '%s'", work_path("window_frames.gp").c_str());
        gnuplot_sync(h, -1);
    });
    gnuplot_close(h);
    return frames / seconds;
}

// A thread making frames as fast as it can, as a caller does back to back,
// for as long as it lives.
class BusyProducer {
public:
    BusyProducer()
        : thread_([this] {
              std::vector<double> x(points), y(points);
              for (int frame = 0; !stop_; ++frame)
                  fill_frame(frame, x, y);
          }) {}
    ~BusyProducer() {
        stop_ = true;
        thread_.join();
    }
    BusyProducer(const BusyProducer &) = delete;
    BusyProducer &operator=(const BusyProducer &) = delete;

private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

unsigned long window_titled(Display *display, Window under, const char *title) {
    char *name = nullptr;
    if (XFetchName(display, under, &name) != 0 && name != nullptr) {
        const bool match = std::strcmp(name, title) == 0;
        XFree(name);
        if (match)
            return under;
    }
    Window root, parent, *children = nullptr;
    unsigned count = 0;
    unsigned long found = 0;
    if (XQueryTree(display, under, &root, &parent, &children, &count) != 0) {
        for (unsigned i = 0; i < count && found == 0; ++i)
            found = window_titled(display, children[i], title);
        XFree(children);
    }
    return found;
}

// The height level of the curve in the window's middle column, or -1.
int level_on_screen(Display *display, Window window, const Terminal &terminal, double bottom,
                    double top, double units) {
    XImage *image = XGetImage(display, window, 320, terminal.top, 1, 480, AllPlanes, ZPixmap);
    if (image == nullptr)
        return -1;
    int level = -1;
    for (int row = 0; row < 480 && level == -1; ++row) {
        const unsigned long pixel = XGetPixel(image, 0, row);
        const unsigned long r = pixel >> 16 & 0xff, g = pixel >> 8 & 0xff, b = pixel & 0xff;
        if (r != g || g != b) { // neither white, black nor grey: the curve
            const double y = ((480 - row) * units / 480 - bottom) / (top - bottom) * levels;
            level = static_cast<int>(std::floor(y));
        }
    }
    XDestroyImage(image);
    return level;
}

// How far the frame on screen lags, sampled after each call: in seconds
// since its data was handed over, and in frames drawn later whose data had
// already been handed over at the sample.
struct Ages {
    std::vector<double> seconds, frames_behind;
};

// With waited, each frame is synced before its sample: gnuplot has drawn it.
Ages frame_ages(const Terminal &terminal, useconds_t pause_us, bool waited) {
    // Its own title: the window of an earlier run may still be closing.
    const std::string title = "bench-age-" + std::to_string(pause_us) + (waited ? "-waited" : "");
    _GNUPLOT_CTRL_ *h = open_window(terminal, title);
    std::vector<double> x(points), y(points);
    fill_frame(0, x, y);
    gnuplot_plot_live(h, x.data(), y.data(), points, nullptr);
    gnuplot_sync(h, -1);
    double bottom = 0, top = 0, units = 0;
    gnuplot_get_number(h, "GPVAL_TERM_YMIN", &bottom, -1);
    gnuplot_get_number(h, "GPVAL_TERM_YMAX", &top, -1);
    gnuplot_get_number(h, "GPVAL_TERM_YSIZE/GPVAL_TERM_SCALE", &units, -1);
    usleep(500000);
    Display *display = XOpenDisplay(nullptr);
    const Window window = window_titled(display, DefaultRootWindow(display), title.c_str());
    std::vector<Clock::time_point> handed{Clock::now()};
    std::vector<std::pair<Clock::time_point, int>> samples; // when, which frame shown
    const Clock::time_point end = Clock::now() + run_time;
    for (int frame = 1; Clock::now() < end && window != 0; ++frame) {
        fill_frame(frame, x, y);
        handed.push_back(Clock::now());
        gnuplot_plot_live(h, x.data(), y.data(), points, nullptr);
        if (waited)
            gnuplot_sync(h, -1);
        const int level = level_on_screen(display, window, terminal, bottom, top, units);
        // The newest frame handed over at that height: frames are drawn in order.
        if (level >= 0)
            samples.emplace_back(Clock::now(),
                                 frame - ((frame - level) % levels + levels) % levels);
        usleep(pause_us);
    }
    XCloseDisplay(display);
    gnuplot_close(h);
    std::vector<int> drawn; // each frame seen on screen, in order
    for (const auto &sample : samples) {
        if (drawn.empty() || drawn.back() != sample.second)
            drawn.push_back(sample.second);
    }
    Ages ages;
    for (const auto &[when, shown] : samples) {
        ages.seconds.push_back(
            std::chrono::duration<double>(when - handed[static_cast<std::size_t>(shown)]).count());
        ages.frames_behind.push_back(static_cast<double>(
            std::count_if(drawn.begin(), drawn.end(), [&, shown = shown, when = when](int k) {
                return k > shown && handed[static_cast<std::size_t>(k)] <= when;
            })));
    }
    return ages;
}

// The virtual X server every window opens on, started by the first window
// benchmark and stopped at exit; null when Xvfb does not start.
const test::VirtualDisplay *virtual_display() {
    static const std::unique_ptr<test::VirtualDisplay> started =
        []() -> std::unique_ptr<test::VirtualDisplay> {
        try {
            return std::make_unique<test::VirtualDisplay>();
        } catch (const std::runtime_error &) {
            return nullptr;
        }
    }();
    return started.get();
}

// Points gnuplot at the window gnuplot and the virtual display, or skips
// the benchmark, so that its figures print as not run.
bool use_windows(benchmark::State &state) {
    if (!window_gnuplot_unpacked()) {
        state.SkipWithError("no window gnuplot: run scripts/window-gnuplot.sh");
        return false;
    }
    const test::VirtualDisplay *display = virtual_display();
    if (display == nullptr) {
        state.SkipWithError("Xvfb did not start");
        return false;
    }
    use_window_gnuplot(display->name());
    return true;
}

// Frames per second, medians of rounds that take turns, so that a change in
// the machine's load shows in every way alike: gnuplot alone, gnuplot alone
// beside a busy program, and the live curve back to back and 1 ms apart.
void rates(benchmark::State &state, Terminal terminal) {
    if (!use_windows(state))
        return;
    constexpr int rounds = 3;
    for (auto _ : state) {
        std::vector<double> alone, beside, back_to_back, apart;
        for (int round = 0; round < rounds; ++round) {
            alone.push_back(script_rate(terminal));
            {
                const BusyProducer producer;
                beside.push_back(script_rate(terminal));
            }
            back_to_back.push_back(live_rate(terminal, 0));
            apart.push_back(live_rate(terminal, 1000));
        }
        state.counters["alone_fps"] = median(alone);
        state.counters["beside_producer_fps"] = median(beside);
        state.counters["back_to_back_fps"] = median(back_to_back);
        state.counters["apart_fps"] = median(apart);
    }
}

void record_ages(benchmark::State &state, const Ages &ages) {
    if (ages.seconds.empty())
        return; // no frame seen: the ages print as not run
    state.counters["age_median_s"] = median(ages.seconds);
    state.counters["age_max_s"] = *std::max_element(ages.seconds.begin(), ages.seconds.end());
    state.counters["behind_median"] = median(ages.frames_behind);
    state.counters["behind_max"] =
        *std::max_element(ages.frames_behind.begin(), ages.frames_behind.end());
}

// Each frame waited for: how far the screen is behind what gnuplot has done.
void gnuplot_lag(benchmark::State &state, Terminal terminal) {
    if (!use_windows(state))
        return;
    for (auto _ : state)
        record_ages(state, frame_ages(terminal, 0, true));
}

void ages(benchmark::State &state, Terminal terminal, useconds_t pause_us) {
    if (!use_windows(state))
        return;
    for (auto _ : state)
        record_ages(state, frame_ages(terminal, pause_us, false));
}

// One run each, of seconds.
void once(benchmark::internal::Benchmark *registered) {
    registered->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);
}

} // namespace

BENCHMARK_CAPTURE(rates, x11, x11)->Name("window/x11_rates")->Apply(once);
BENCHMARK_CAPTURE(gnuplot_lag, x11, x11)->Name("window/x11_gnuplot_lag")->Apply(once);
BENCHMARK_CAPTURE(ages, x11_back_to_back, x11, 0)->Name("window/x11_back_to_back")->Apply(once);
BENCHMARK_CAPTURE(ages, x11_1ms_apart, x11, 1000)->Name("window/x11_1ms_apart")->Apply(once);
BENCHMARK_CAPTURE(rates, qt, qt)->Name("window/qt_rates")->Apply(once);
BENCHMARK_CAPTURE(gnuplot_lag, qt, qt)->Name("window/qt_gnuplot_lag")->Apply(once);
BENCHMARK_CAPTURE(ages, qt_back_to_back, qt, 0)->Name("window/qt_back_to_back")->Apply(once);
BENCHMARK_CAPTURE(ages, qt_1ms_apart, qt, 1000)->Name("window/qt_1ms_apart")->Apply(once);

} // namespace bench
