// Windows under a virtual X server of the test's own, with the gnuplot-qt
// that scripts/window-gnuplot.sh unpacks (qt, wxt and x11 terminals), driven
// by xdotool as a user would: clicks, keys, closes, resizes.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include <X11/Xlib.h>
#include <gif_lib.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "chartlink.hpp"
#include "support.h"
#include "virtual_display.h"

namespace {

// Every wait in these tests is a hang guard, not a judgement of speed.
constexpr int guard_ms = test::display_guard_ms;

std::string output_of(const std::string &command) {
    std::string text;
    if (FILE *pipe = popen(("timeout 20 " + command).c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe) != nullptr)
            text += buffer;
        pclose(pipe);
    }
    return text;
}

void xdotool(const std::string &arguments) {
    ASSERT_EQ(std::system(("timeout 20 xdotool " + arguments).c_str()), 0) << arguments;
}

// What a window manager's close button sends.
void ask_to_close(unsigned long window) {
    Display *display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    XSendEvent(display, window, False, NoEventMask, &event);
    XCloseDisplay(display);
}

// How many images a GIF holds, as giflib decodes it; -1 when it cannot.
int gif_frames(const std::string &path) {
    int error = 0;
    GifFileType *gif = DGifOpenFileName(path.c_str(), &error);
    if (gif == nullptr)
        return -1;
    const int frames = DGifSlurp(gif) == GIF_OK ? gif->ImageCount : -1;
    DGifCloseFile(gif, &error);
    return frames;
}

// Where the canvas starts inside each terminal's 640x480 window (wxt's
// under its toolbar), whether the window reports its close when it is
// destroyed (x11 does, three times) and whether a plot after the close
// shows it again.
struct Terminal {
    const char *name;
    int left, top;
    bool destroy_closes, reopens;
};
const Terminal terminals[] = {
    {"x11", 0, 0, true, false}, {"qt", 1, 41, false, true}, {"wxt", 0, 42, false, true}};

// A handle on the window gnuplot, in a display of its own.
class WindowTest : public ::testing::Test {
protected:
    WindowTest()
        : path_("PATH", std::string(WINDOW_GNUPLOT_DIR) + ":" + std::getenv("PATH")),
          display_env_("DISPLAY", display_.name()),
          runtime_("XDG_RUNTIME_DIR", runtime_dir_.path()), home_("HOME", runtime_dir_.path()) {}
    ~WindowTest() override { gnuplot_close(handle_); }

    // Plots y = x over [0:10] x [0:10] in a window titled uniquely; its id.
    unsigned long open_window(const Terminal &terminal) {
        handle_ = gnuplot_init();
        title_ = "chartlink-test-" + std::to_string(getpid()) + "-" + terminal.name;
        gnuplot_cmd(handle_, "set terminal %s size 640,480 title '%s'", terminal.name,
                    title_.c_str());
        gnuplot_cmd(handle_, "set xrange [0:10]; set yrange [0:10]");
        gnuplot_plot_equation(handle_, "x", nullptr);
        EXPECT_EQ(gnuplot_sync(handle_, guard_ms), 0);
        const std::string found = output_of("xdotool search --sync --onlyvisible --name " + title_);
        return std::strtoul(found.c_str(), nullptr, 10);
    }

    double number(const char *expression) {
        double value = NAN;
        EXPECT_EQ(gnuplot_get_number(handle_, expression, &value, guard_ms), 0) << expression;
        return value;
    }

    // Moves the pointer to graph point (x, y) in the window.
    void point_at(unsigned long window, const Terminal &terminal, double x, double y) {
        const double units_x = number("GPVAL_TERM_XSIZE/GPVAL_TERM_SCALE"),
                     units_y = number("GPVAL_TERM_YSIZE/GPVAL_TERM_SCALE");
        const double left = number("GPVAL_TERM_XMIN"), right = number("GPVAL_TERM_XMAX");
        const double bottom = number("GPVAL_TERM_YMIN"), top = number("GPVAL_TERM_YMAX");
        const auto px =
            static_cast<int>(terminal.left + (left + x / 10 * (right - left)) * 640 / units_x);
        const auto py = static_cast<int>(terminal.top + 480 -
                                         (bottom + y / 10 * (top - bottom)) * 480 / units_y);
        xdotool("mousemove --window " + std::to_string(window) + " " + std::to_string(px) + " " +
                std::to_string(py));
    }

    gnuplot_event next() {
        gnuplot_event event{};
        EXPECT_EQ(gnuplot_next_event(handle_, &event, guard_ms), 0) << gnuplot_last_message();
        return event;
    }

    // Runs body on a window of each terminal, each on a handle of its own.
    void on_each_terminal(const std::function<void(const Terminal &, unsigned long)> &body) {
        for (const Terminal &terminal : terminals) {
            SCOPED_TRACE(terminal.name);
            const unsigned long window = open_window(terminal);
            ASSERT_NE(window, 0u);
            body(terminal, window);
            gnuplot_close(handle_);
            handle_ = nullptr;
        }
    }

    test::VirtualDisplay display_;
    test::TempDir runtime_dir_;
    test::ScopedEnv path_, display_env_, runtime_, home_;
    _GNUPLOT_CTRL_ *handle_ = nullptr;
    std::string title_;
};

// Clicks at a known point, a flood of them while the caller reads nothing,
// keys, a get between them and a close, in order, while the caller's own
// print file is in force; the flood leaves no error of gnuplot's behind.
TEST_F(WindowTest, ClicksKeysAndCloseArriveInOrderBesideAnswers) {
    on_each_terminal([&](const Terminal &terminal, unsigned long window) {
        ASSERT_EQ(gnuplot_listen(handle_, "a Return Left Button1 Button2"), 0);
        gnuplot_cmd(handle_, "set print '%s/printed'", runtime_dir_.path().c_str());
        gnuplot_cmd(handle_, "set decimalsign locale \"de_DE.UTF-8\""); // coordinates with commas
        point_at(window, terminal, 3, 7);
        xdotool("click 1");
        const gnuplot_event click = next();
        EXPECT_EQ(click.type, GNUPLOT_EVENT_CLICK);
        EXPECT_EQ(click.button, 1);
        EXPECT_NEAR(click.x, 3, 0.1);
        EXPECT_NEAR(click.y, 7, 0.1);
        EXPECT_EQ(number("6*7"), 42); // answers still come between events
        // Buttons 2 and 1 by turns, which no toolkit takes for double
        // clicks (as it would a click of button 1 after the one above).
        const int flood = 3000;
        std::string clicks;
        for (int i = 0; i < flood; ++i)
            clicks += " click --delay 0 " + std::to_string(2 - i % 2);
        xdotool(clicks + " key a Return Left");
        int in_turn = 0;
        gnuplot_event event{};
        for (int i = 0; i < flood && gnuplot_next_event(handle_, &event, guard_ms) == 0; ++i)
            in_turn += event.type == GNUPLOT_EVENT_CLICK && event.button == 2 - i % 2 &&
                       std::fabs(event.x - 3) < 0.1;
        EXPECT_EQ(in_turn, flood);
        for (const int code : {97, 13, 1008}) {
            const gnuplot_event key = next();
            EXPECT_EQ(key.type, GNUPLOT_EVENT_KEY);
            EXPECT_EQ(key.key, code);
            EXPECT_EQ(key.character, code < 256 ? code : 0);
        }
        EXPECT_EQ(gnuplot_sync(handle_, guard_ms), 0) << gnuplot_last_error(handle_);
        ask_to_close(window);
        EXPECT_EQ(next().type, GNUPLOT_EVENT_CLOSE);
        EXPECT_EQ(gnuplot_wait_closed(handle_, guard_ms), 0);
        if (!terminal.reopens) { // nor does a plot on x11, known without asking
            gnuplot_plot_equation(handle_, "x", nullptr);
            EXPECT_EQ(gnuplot_wait_closed(handle_, 0), 0);
        }
        gnuplot_cmd(handle_, "set xlabel 'opens nothing'");
        EXPECT_EQ(gnuplot_wait_closed(handle_, 0), 0); // no window any more
        if (terminal.reopens) {                        // a plot shows it again
            gnuplot_plot_equation(handle_, "x", nullptr);
            EXPECT_EQ(gnuplot_sync(handle_, guard_ms), 0);
            EXPECT_EQ(gnuplot_wait_closed(handle_, 300), -1);
            const std::string again =
                output_of("xdotool search --sync --onlyvisible --name " + title_);
            ask_to_close(std::strtoul(again.c_str(), nullptr, 10));
            EXPECT_EQ(next().type, GNUPLOT_EVENT_CLOSE);
        }
        gnuplot_event none{};
        EXPECT_EQ(gnuplot_next_event(handle_, &none, 300), -1);
        EXPECT_STREQ(gnuplot_last_message(), "");
    });
}

// A destroyed window: x11 reports its close three times, one event; qt and
// wxt report none.
TEST_F(WindowTest, RepeatedCloseCountsOnce) {
    on_each_terminal([&](const Terminal &terminal, unsigned long window) {
        gnuplot_event event{};
        ASSERT_EQ(gnuplot_next_event(handle_, &event, 0), -1); // binds
        xdotool("windowclose " + std::to_string(window));
        if (terminal.destroy_closes) {
            EXPECT_EQ(next().type, GNUPLOT_EVENT_CLOSE);
        }
        // No request here: gnuplot 5.4 may lose bytes of the next line it
        // reads after its x11 window is destroyed, and wxt ends at its next
        // plot.
        EXPECT_EQ(gnuplot_next_event(handle_, &event, 500), -1);
    });
}

// Waits that run out leave gnuplot free, the first event wait too, which
// binds while gnuplot is busy; zoom (button 3) still works with clicks of
// button 1 reported; a gnuplot killed while its window's helper lives is
// seen by every wait, though the caller ignores SIGCHLD and so the system
// reaps it.
TEST_F(WindowTest, WaitsRunOutOrSeeGnuplotEndAndZoomWorks) {
    on_each_terminal([&](const Terminal &terminal, unsigned long window) {
        gnuplot_cmd(handle_, "pause mouse button2");
        gnuplot_event event{};
        EXPECT_EQ(gnuplot_next_event(handle_, &event, 300), -1);
        EXPECT_STREQ(gnuplot_last_message(), "");
        EXPECT_EQ(gnuplot_sync(handle_, 0), -1); // still paused: the wait did not wait for it
        xdotool("mousemove --window " + std::to_string(window) + " 320 240 click 2");
        EXPECT_EQ(gnuplot_wait_closed(handle_, 200), -1);
        EXPECT_STREQ(gnuplot_last_message(), "");
        EXPECT_EQ(number("2+2"), 4);
        point_at(window, terminal, 2, 2);
        xdotool("click 3");
        point_at(window, terminal, 5, 5);
        xdotool("click 3");
        gnuplot_cmd(handle_, "replot");
        EXPECT_NEAR(number("GPVAL_X_MAX"), 5, 0.2);
        const auto gnuplot = static_cast<pid_t>(number("real(system('echo $PPID'))"));
        std::vector<double> many(400000, 1.0); // a frame still being read at the kill
        gnuplot_plot_live(handle_, many.data(), many.data(), 2, nullptr);
        gnuplot_plot_live(handle_, many.data(), many.data(), 400000, nullptr);
        const auto handler = signal(SIGCHLD, SIG_IGN);
        kill(gnuplot, SIGKILL);
        for (int tries = 0; tries < 1000 && gnuplot_is_running(handle_) != 0; ++tries)
            usleep(1000);
        EXPECT_EQ(gnuplot_plot_live(handle_, many.data(), many.data(), 400000, nullptr), -1);
        EXPECT_EQ(gnuplot_next_event(handle_, &event, guard_ms), -1);
        EXPECT_STREQ(gnuplot_last_message(), "gnuplot has ended: no event read");
        EXPECT_EQ(gnuplot_is_running(handle_), 0);
        EXPECT_EQ(gnuplot_wait_closed(handle_, guard_ms), -1);
        EXPECT_STREQ(gnuplot_last_message(), "gnuplot has ended: cannot wait for the window");
        signal(SIGCHLD, handler);
    });
}

// Frames faster than gnuplot draws, a resize among them: nothing backs up,
// and once synced the newest frame is the one drawn. Switched to a file
// terminal, every frame is drawn again.
TEST_F(WindowTest, LiveCurveDropsWaitingFramesAndEndsOnTheNewest) {
    on_each_terminal([&](const Terminal &terminal, unsigned long window) {
        gnuplot_resetplot(handle_); // the live curve alone on the graph
        std::vector<double> x(10000), y(10000);
        int dropped = 0;
        for (int frame = 0; frame < 120; ++frame) {
            for (std::size_t i = 0; i < x.size(); ++i) {
                x[i] = static_cast<double>(i) / 1000;
                y[i] = 5 + 4 * std::sin(x[i] + frame * 0.1) * (frame + 1) / 120;
            }
            const int result = gnuplot_plot_live(handle_, x.data(), y.data(), 10000, "live");
            ASSERT_GE(result, 0);
            dropped += result;
            if (frame == 60)
                xdotool("windowsize " + std::to_string(window) + " 900 700");
        }
        double newest = 0; // a get sends the frame still waiting first
        for (const double value : y)
            newest = std::max(newest, value);
        EXPECT_DOUBLE_EQ(number("GPVAL_DATA_Y_MAX"), newest);
        EXPECT_GT(dropped, 0); // no backlog: frames faster than drawn were dropped
        EXPECT_EQ(test::left_behind().size(), 2u); // the live curve's data file and its spare
        // The frame still waiting goes to the window before the switch.
        const std::string gif = runtime_dir_.path() + "/live-" + terminal.name + ".gif";
        gnuplot_cmd(handle_, "set terminal gif animate size 64,48; set output '%s'", gif.c_str());
        for (int frame = 0; frame < 5; ++frame)
            EXPECT_EQ(gnuplot_plot_live(handle_, x.data(), y.data(), 10000, "live"), 0);
        gnuplot_cmd(handle_, "set output");
        EXPECT_EQ(gnuplot_sync(handle_, guard_ms), 0);
        EXPECT_EQ(gif_frames(gif), 5);
    });
}

} // namespace

// No window at all: a file terminal (every frame drawn, one per call) and a
// gnuplot that has ended.
TEST(WindowlessTest, FileTerminalsAndEndedGnuplot) {
    test::TempDir dir;
    _GNUPLOT_CTRL_ *handle = gnuplot_init();
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(gnuplot_wait_closed(handle, guard_ms), 0); // nothing plotted
    gnuplot_cmd(handle, "set terminal gif animate size 64,48; set output '%s/live.gif'",
                dir.path().c_str());
    const double x[] = {0, 1, 2};
    for (int frame = 0; frame < 5; ++frame) {
        const double y[] = {0, 1.0 * frame, 2};
        EXPECT_EQ(gnuplot_plot_live(handle, x, y, 3, nullptr), 0);
    }
    gnuplot_cmd(handle, "set output");
    EXPECT_EQ(gnuplot_sync(handle, guard_ms), 0);
    EXPECT_EQ(gif_frames(dir.path() + "/live.gif"), 5);
    // Files put in place of the curve's own: a pipe where the spare was is
    // neither waited on nor written (the frame goes another way), and a file
    // of someone else's where the data file was is left as it is.
    gnuplot_cmd(handle, "set terminal unknown");
    ASSERT_EQ(handle->temp_file_count, 2);
    const std::string data = handle->temp_files[0], spare = handle->temp_files[1];
    ASSERT_EQ(std::remove(spare.c_str()), 0);
    ASSERT_EQ(mkfifo(spare.c_str(), 0600), 0);
    EXPECT_EQ(gnuplot_plot_live(handle, x, x, 3, nullptr), 0);
    const std::string theirs = dir.path() + "/theirs";
    std::FILE *file = std::fopen(theirs.c_str(), "w");
    std::fputs("not the library's", file);
    std::fclose(file);
    ASSERT_EQ(std::rename(theirs.c_str(), data.c_str()), 0);
    EXPECT_EQ(gnuplot_plot_live(handle, x, x, 3, nullptr), -1);
    EXPECT_EQ(test::read_file(data), "not the library's");
    std::remove(data.c_str());
    std::remove(spare.c_str());
    // A frame that failed part way leaves no tail for the next one.
    gnuplot_resetplot(handle);
    const std::vector<double> rows(100000, 3.0);
    ASSERT_EQ(gnuplot_plot_live(handle, x, x, 3, nullptr), 0);
    ASSERT_EQ(gnuplot_plot_live(handle, x, x, 3, nullptr), 0); // the new spare
    rlimit unlimited{}, small{200000, 0};
    getrlimit(RLIMIT_FSIZE, &unlimited);
    small.rlim_max = unlimited.rlim_max;
    setrlimit(RLIMIT_FSIZE, &small);
    EXPECT_EQ(gnuplot_plot_live(handle, rows.data(), rows.data(), 100000, nullptr), -1);
    setrlimit(RLIMIT_FSIZE, &unlimited);
    EXPECT_EQ(gnuplot_plot_live(handle, x, x, 3, nullptr), 0);
    double tail = 0;
    EXPECT_EQ(gnuplot_get_number(handle, "GPVAL_DATA_X_MAX", &tail, guard_ms), 0);
    EXPECT_EQ(tail, 2);
    // A figure is a graph of its own: the next frame plots the curve anew.
    const double five[] = {1, 2, 3, 4, 5};
    gnuplot_set_layout(handle, 1, 1, nullptr);
    gnuplot_plot_x(handle, five, 5, nullptr);
    gnuplot_end_layout(handle);
    EXPECT_EQ(gnuplot_plot_live(handle, x, x, 3, nullptr), 0);
    double x_max = 0;
    EXPECT_EQ(gnuplot_get_number(handle, "GPVAL_DATA_X_MAX", &x_max, guard_ms), 0);
    EXPECT_EQ(x_max, 2);
    EXPECT_EQ(gnuplot_wait_closed(handle, guard_ms), 0); // gif: no window
    // Names gnuplot would only warn about, or that would break the binding.
    for (const char *names : {"a'", "a `", "NoSuchKey", "F13", "Close", "shift-Button1", "ctrl-"}) {
        EXPECT_EQ(gnuplot_listen(handle, names), -1) << names;
        EXPECT_STREQ(gnuplot_last_message(), "cannot bind this key name: not bound");
    }
    EXPECT_EQ(gnuplot_listen(handle, "ctrl-alt-F12"), -1); // gnuplot-nox: no bind, no errors
    EXPECT_STREQ(gnuplot_last_message(), "this gnuplot has no windows: not bound");
    EXPECT_EQ(gnuplot_sync(handle, guard_ms), 0);
    gnuplot_cmd(handle, "exit");
    EXPECT_EQ(gnuplot_sync(handle, guard_ms), -1);
    EXPECT_EQ(gnuplot_is_running(handle), 0); // at once, though its exit shows a moment later
    gnuplot_event event{};
    EXPECT_EQ(gnuplot_next_event(handle, &event, guard_ms), -1);
    EXPECT_STREQ(gnuplot_last_message(), "gnuplot has ended: no event read");
    EXPECT_EQ(gnuplot_wait_closed(handle, guard_ms), -1);
    EXPECT_EQ(gnuplot_plot_live(handle, x, x, 3, nullptr), -1);
    gnuplot_close(handle);
}

// The C++ members: a false when nothing was dropped or the time ran out, a
// throw once gnuplot has ended.
TEST(WindowlessTest, CppMembersReturnOrThrow) {
    chartlink::Gnuplot plot;
    plot.send("set terminal dumb; set output '/dev/null'");
    EXPECT_FALSE(plot.plot_live(std::vector<double>{0, 1}, std::vector<double>{1, 2}));
    EXPECT_TRUE(plot.wait_closed(std::chrono::milliseconds(test::display_guard_ms)));
    EXPECT_THROW(plot.plot_live(std::vector<double>{0}, std::vector<double>{0, 1}),
                 chartlink::Error);
    plot.send("exit");
    EXPECT_THROW(plot.next_event(std::chrono::milliseconds(test::display_guard_ms)),
                 chartlink::Error);
}
