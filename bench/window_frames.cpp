// Live frames in a window under a virtual X server: frames drawn per second
// when a 10,000-point curve is handed to gnuplot_plot_live() as fast as the
// program can, against gnuplot alone drawing the same frames from prepared
// files; and how many frames the curve on screen is behind the newest one
// handed over, read from the screen's pixels after each call.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include "chartlink.h"
#include "virtual_display.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int points = 10000, frames = 300, levels = 40;
constexpr double run_seconds = 3;

struct Terminal {
    const char *name;
    int top; // the canvas's first row inside the window
};

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

double seconds_since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Frames as fast as the program can make them, for run_seconds: drawn
// frames per second.
double live_rate(const Terminal &terminal, useconds_t pause_us, int &calls, int &dropped) {
    _GNUPLOT_CTRL_ *h = open_window(terminal, "bench-live");
    std::vector<double> x(points), y(points);
    fill_frame(0, x, y);
    gnuplot_plot_live(h, x.data(), y.data(), points, nullptr);
    gnuplot_sync(h, -1);
    calls = dropped = 0;
    const Clock::time_point start = Clock::now();
    while (seconds_since(start) < run_seconds) {
        fill_frame(++calls, x, y);
        dropped += gnuplot_plot_live(h, x.data(), y.data(), points, nullptr);
        usleep(pause_us);
    }
    gnuplot_sync(h, -1);
    const double rate = (calls - dropped) / seconds_since(start);
    gnuplot_close(h);
    return rate;
}

// gnuplot alone: the same frames from files written beforehand, read from
// a script.
double script_rate(const Terminal &terminal) {
    char dir[] = "/tmp/chartlink-bench-XXXXXX";
    if (mkdtemp(dir) == nullptr)
        return 0;
    std::vector<double> x(points), y(points), rows(2 * points);
    std::string script;
    for (int frame = 1; frame <= frames; ++frame) {
        fill_frame(frame, x, y);
        for (int k = 0; k < points; ++k) {
            rows[2 * static_cast<std::size_t>(k)] = x[static_cast<std::size_t>(k)];
            rows[2 * static_cast<std::size_t>(k) + 1] = y[static_cast<std::size_t>(k)];
        }
        const std::string name = std::string(dir) + "/f" + std::to_string(frame);
        if (FILE *file = std::fopen(name.c_str(), "wb")) {
            std::fwrite(rows.data(), sizeof(double), rows.size(), file);
            std::fclose(file);
        }
        script += "plot '" + name + "' binary format='%2float64' using 1:2 with lines\n";
    }
    const std::string script_name = std::string(dir) + "/frames.gp";
    if (FILE *file = std::fopen(script_name.c_str(), "w")) {
        std::fputs(script.c_str(), file);
        std::fclose(file);
    }
    _GNUPLOT_CTRL_ *h = open_window(terminal, "bench-script");
    gnuplot_cmd(h, "plot x");
    gnuplot_sync(h, -1);
    const Clock::time_point start = Clock::now();
    gnuplot_cmd(h, "load '%s'", script_name.c_str());
    gnuplot_sync(h, -1);
    const double rate = frames / seconds_since(start);
    gnuplot_close(h);
    std::system(("rm -rf " + std::string(dir)).c_str());
    return rate;
}

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

// How far the frame on screen lags, sampled after each call: in
// milliseconds since its data was handed over, and in frames drawn later
// whose data had already been handed over at the sample.
struct Ages {
    std::vector<double> ms;
    std::vector<int> frames_behind;
};

Ages frame_ages(const Terminal &terminal, useconds_t pause_us) {
    // Its own title: the window of an earlier run may still be closing.
    const std::string title = "bench-age-" + std::to_string(pause_us);
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
    const Clock::time_point start = Clock::now();
    for (int frame = 1; seconds_since(start) < run_seconds && window != 0; ++frame) {
        fill_frame(frame, x, y);
        handed.push_back(Clock::now());
        gnuplot_plot_live(h, x.data(), y.data(), points, nullptr);
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
        ages.ms.push_back(std::chrono::duration<double, std::milli>(
                              when - handed[static_cast<std::size_t>(shown)])
                              .count());
        ages.frames_behind.push_back(static_cast<int>(
            std::count_if(drawn.begin(), drawn.end(), [&, shown = shown, when = when](int k) {
                return k > shown && handed[static_cast<std::size_t>(k)] <= when;
            })));
    }
    return ages;
}

template <class T> T median(std::vector<T> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? T(-1) : values[values.size() / 2];
}

template <class T> T most(const std::vector<T> &values) {
    return values.empty() ? T(-1) : *std::max_element(values.begin(), values.end());
}

} // namespace

int main() {
    const test::VirtualDisplay display;
    setenv("DISPLAY", display.name().c_str(), 1);
    setenv("PATH", (std::string(WINDOW_GNUPLOT_DIR) + ":" + std::getenv("PATH")).c_str(), 1);
    std::printf("A %d-point curve in a 640x480 window under Xvfb, frames handed to "
                "gnuplot_plot_live() for %g s each way, against gnuplot alone drawing %d "
                "prepared files\n\n",
                points, run_seconds, frames);
    std::printf("| terminal | calls | live fps | gnuplot alone fps | ratio | dropped | "
                "age median | age max | frames behind median / max |\n");
    std::printf("| --- | --- | --- | --- | --- | --- | --- | --- | --- |\n");
    for (const Terminal terminal : {Terminal{"x11", 0}, Terminal{"qt", 41}}) {
        const double alone = script_rate(terminal);
        for (const useconds_t pause_us : {0u, 1000u}) {
            int calls = 0, dropped = 0;
            const double live = live_rate(terminal, pause_us, calls, dropped);
            const Ages ages = frame_ages(terminal, pause_us);
            std::printf("| %s | %s | %.1f | %.1f | %.2fx | %d of %d | %.1f ms | %.1f ms | %d / %d "
                        "|\n",
                        terminal.name, pause_us == 0 ? "back to back" : "1 ms apart", live, alone,
                        live / alone, dropped, calls, median(ages.ms), most(ages.ms),
                        median(ages.frames_behind), most(ages.frames_behind));
        }
    }
    return 0;
}
