// Through the real gnuplot.
#include <cmath>
#include <cstring>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "support.h"

namespace {

// Runs a program with one argument; its exit status, or -1.
int run_program(const char *path, const char *argument) {
    const int status = test::run_in_child([&] {
        execl(path, path, argument, static_cast<char *>(nullptr));
        return 127;
    });
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

TEST(EndToEnd, SineDemoWritesA640By480PngAndPrintsNothing) {
    test::TempDir dir;
    test::ScopedCwd cwd(dir.path());
    test::Capture out(1);
    EXPECT_EQ(run_program(SINE_DEMO_PATH, "ignored"), 0);
    EXPECT_EQ(out.text(), "");
    EXPECT_EQ(test::png_size(dir.path() + "/sine.png"), std::make_pair(640U, 480U));
}

TEST(EndToEnd, SineDemoWithoutGnuplotExitsWithStatusOne) {
    test::TempDir dir;
    test::ScopedCwd cwd(dir.path());
    test::ScopedEnv path("PATH", dir.path());
    test::Capture errors(2);
    EXPECT_EQ(run_program(SINE_DEMO_PATH, "ignored"), 1);
    EXPECT_NE(errors.text().find("cannot find gnuplot in your PATH"), std::string::npos);
}

TEST(EndToEnd, DataPlotExamplesDrawTheirImages) {
    test::TempDir dir;
    const std::string image = dir.path() + "/damped.png", walk = dir.path() + "/walk.png";
    EXPECT_EQ(run_program(DATA_PLOT_EXAMPLE_PATH, image.c_str()), 0);
    EXPECT_EQ(test::png_size(image), std::make_pair(800U, 500U));
    EXPECT_EQ(run_program(TEN_MILLION_EXAMPLE_PATH, walk.c_str()), 0);
    EXPECT_EQ(test::png_size(walk), std::make_pair(800U, 600U));
}

TEST(EndToEnd, DataPlotOfPairsDrawsAnImage) {
    test::TempDir dir;
    const std::string image = dir.path() + "/pairs.png";
    const double x[] = {0, 1, 2, 3}, y[] = {0, 1, 4, 9};
    _GNUPLOT_CTRL_ *handle = gnuplot_init();
    ASSERT_NE(handle, nullptr);
    gnuplot_cmd(handle, "set terminal png size 320,240");
    gnuplot_cmd(handle, "set output \"%s\"", image.c_str());
    gnuplot_setstyle(handle, "linespoints");
    gnuplot_plot_xy(handle, x, y, 4, "squares");
    gnuplot_close(handle);
    EXPECT_EQ(test::png_size(image), std::make_pair(320U, 240U));
}

// Animation frames: each reset hands its data file to gnuplot, which must
// still read it for the frame before removing it.
TEST(EndToEnd, EveryFrameOfAResetLoopIsDrawnAndNoDataFileIsLeft) {
    test::TempDir dir;
    const auto mark = test::files_made().size();
    _GNUPLOT_CTRL_ *handle = gnuplot_init();
    ASSERT_NE(handle, nullptr);
    gnuplot_cmd(handle, "set terminal png size 160,120");
    const double x[] = {0, 1, 2}, y[] = {2, 0, 1};
    for (int frame = 0; frame < 20; ++frame) {
        gnuplot_cmd(handle, "set output \"%s/frame%02d.png\"", dir.path().c_str(), frame);
        gnuplot_plot_xy(handle, x, y, 3, "frame");
        gnuplot_resetplot(handle);
    }
    gnuplot_close(handle);
    for (int frame = 0; frame < 20; ++frame) {
        const std::string image =
            dir.path() + "/frame" + (frame < 10 ? "0" : "") + std::to_string(frame) + ".png";
        EXPECT_EQ(test::png_iend_count(image), 1) << image;
    }
    EXPECT_EQ(test::left_behind(mark), std::vector<std::string>{});
}

TEST(EndToEnd, ExamplesThatSaveWriteExactlyOneImage) {
    const std::string readme = test::read_file(README_PATH);
    const std::string tour_start = "`examples/tour.c`:\n\n```c\n";
    const auto tour = readme.find(tour_start) + tour_start.size();
    EXPECT_EQ(readme.substr(tour, readme.find("```", tour) - tour),
              test::read_file(TOUR_EXAMPLE_SOURCE))
        << "the README shows the tour as it is";
    for (const char *example :
         {TOUR_EXAMPLE_PATH, SEVERAL_CURVES_EXAMPLE_PATH, ERROR_BARS_EXAMPLE_PATH,
          HEATMAP_EXAMPLE_PATH, SURFACE_EXAMPLE_PATH, PANELS_EXAMPLE_PATH, MANY_CURVES_EXAMPLE_PATH,
          TIME_AXIS_EXAMPLE_PATH, BARS_EXAMPLE_PATH, HISTOGRAM_EXAMPLE_PATH}) {
        test::TempDir dir;
        const std::string image = dir.path() + "/saved.png";
        EXPECT_EQ(run_program(example, image.c_str()), 0) << example;
        EXPECT_EQ(test::png_size(image), std::make_pair(640U, 480U)) << example;
        EXPECT_EQ(test::png_iend_count(image), 1) << example;
    }
}

TEST(EndToEnd, FitExampleReadsTheParametersBack) {
    test::TempDir dir;
    test::ScopedCwd cwd(dir.path());
    test::Capture out(1);
    EXPECT_EQ(run_program(FIT_EXAMPLE_PATH, "ignored"), 0);
    EXPECT_TRUE(
        std::regex_match(out.text(), std::regex("slope a = 2\\.99\\d\\d \\+/- 0\\.\\d+\\n"
                                                "intercept b = -0\\.9\\d+ \\+/- 0\\.\\d+\\n")));
}

TEST(EndToEnd, ColumnsDrawErrorBarsAndReachGnuplotExact) {
    test::TempDir dir;
    const double x[] = {1, 2, 3}, y[] = {1.0 / 3, 0.1 * 3, 1e-300}, error[] = {0.5, 0.25, 0.125};
    const double *const columns[] = {x, y, error};
    _GNUPLOT_CTRL_ *handle = gnuplot_init();
    ASSERT_NE(handle, nullptr);
    gnuplot_cmd(handle, "set table \"%s/table\"", dir.path().c_str());
    gnuplot_cmd(handle, "set format y \"%%.17g\"");
    gnuplot_plot_columns(handle, columns, 2, 3, nullptr);
    gnuplot_cmd(handle, "unset table");
    gnuplot_resetplot(handle);
    gnuplot_cmd(handle, "set terminal png size 320,240");
    gnuplot_cmd(handle, "set output \"%s/bars.png\"", dir.path().c_str());
    gnuplot_setstyle(handle, "errorbars");
    gnuplot_plot_columns(handle, columns, 3, 3, "bars");
    gnuplot_close(handle);
    EXPECT_EQ(test::png_iend_count(dir.path() + "/bars.png"), 1);
    std::string read_back;
    std::istringstream table(test::read_file(dir.path() + "/table"));
    for (std::string line; std::getline(table, line);) {
        if (!line.empty() && line[0] != '#')
            read_back += line + "\n";
    }
    EXPECT_EQ(read_back, " 1 0.33333333333333331  i\n 2 0.30000000000000004  i\n"
                         " 3 1e-300  i\n");
}

// A window re-reads the data to zoom, as a replot does, after a reset too.
TEST(EndToEnd, TheGraphOnScreenCanBeDrawnAgainAfterAReset) {
    const auto mark = test::files_made().size();
    _GNUPLOT_CTRL_ *handle = gnuplot_init();
    ASSERT_NE(handle, nullptr);
    gnuplot_cmd(handle, "set terminal dumb");
    gnuplot_cmd(handle, "set output '/dev/null'");
    const double x[] = {0, 1, 2}, y[] = {2, 0, 1};
    gnuplot_plot_xy(handle, x, y, 3, "first");
    gnuplot_resetplot(handle);
    gnuplot_cmd(handle, "replot");
    EXPECT_EQ(gnuplot_sync(handle, -1), 0) << gnuplot_last_error(handle);
    gnuplot_plot_xy(handle, y, x, 3, "second"); // replaces the first graph
    EXPECT_EQ(gnuplot_sync(handle, -1), 0);
    EXPECT_EQ(test::left_behind(mark).size(), 1U) << "the first graph's file is gone";
    gnuplot_close(handle);
}

namespace grid {
const double v[] = {1.0 / 3, 2, 3, 4, 5, 0.1 * 3}, x[] = {0.1, 0.2, 0.7}, y[] = {1e-300, 1.0 / 7};
const double *const columns[] = {x, y, v};
} // namespace grid

TEST(EndToEnd, GridsAndThreeDReachGnuplotExactAndDraw) {
    using namespace grid;
    const struct {
        void (*plot)(_GNUPLOT_CTRL_ *);
        const char *expression;
        double value;
    } cases[] = {
        {[](_GNUPLOT_CTRL_ *h) { gnuplot_plot_grid(h, x, y, v, 2, 3, "t"); }, "GPVAL_DATA_CB_MIN",
         0.1 * 3},
        {[](_GNUPLOT_CTRL_ *h) { gnuplot_plot_grid(h, nullptr, nullptr, v, 2, 3, "t"); },
         "GPVAL_DATA_X_MAX", 2.5},
        {[](_GNUPLOT_CTRL_ *h) { gnuplot_splot_grid(h, x, y, v, 2, 3, "t"); }, "GPVAL_DATA_Y_MIN",
         1e-300},
        {[](_GNUPLOT_CTRL_ *h) { gnuplot_splot_grid(h, nullptr, nullptr, v, 2, 3, "t"); },
         "GPVAL_DATA_X_MAX", 2},
        {[](_GNUPLOT_CTRL_ *h) { gnuplot_splot_columns(h, columns, 3, 2, "t"); },
         "GPVAL_DATA_Y_MAX", 1.0 / 7},
        {[](_GNUPLOT_CTRL_ *h) { gnuplot_splot_columns(h, columns, 3, 2, "t"); },
         "GPVAL_DATA_Z_MIN", 1.0 / 3},
    };
    test::TempDir dir;
    _GNUPLOT_CTRL_ *h = gnuplot_init();
    ASSERT_NE(h, nullptr);
    gnuplot_cmd(h, "set terminal png size 200,100");
    for (const auto &c : cases) {
        const std::string image = dir.path() + "/" + c.expression + ".png";
        gnuplot_cmd(h, "set output '%s'", image.c_str());
        c.plot(h);
        double read = 0;
        EXPECT_EQ(gnuplot_get_number(h, c.expression, &read, -1), 0) << gnuplot_last_error(h);
        EXPECT_EQ(read, c.value) << c.expression;
        gnuplot_cmd(h, "unset output");
        EXPECT_EQ(test::png_size(image), std::make_pair(200U, 100U)) << c.expression;
        gnuplot_resetplot(h);
    }
    // Four cells filling the whole image, each in its value's colour.
    const double cells[] = {0, 1, 2, 3};
    const std::string heatmap = dir.path() + "/cells.png";
    gnuplot_cmd(h, "set output '%s'", heatmap.c_str());
    gnuplot_cmd(h,
                "set palette defined (0 'red', 1 'green', 2 'blue', 3 'white'); set cbrange [0:3]");
    gnuplot_cmd(h, "set margins 0,0,0,0; unset colorbox; unset tics; unset border; unset key");
    gnuplot_cmd(h, "set xrange [-0.5:1.5]; set yrange [-0.5:1.5]");
    gnuplot_plot_grid(h, nullptr, nullptr, cells, 2, 2, nullptr);
    gnuplot_close(h);
    const test::Image image = test::read_png(heatmap);
    ASSERT_EQ(image.width, 200U);
    EXPECT_EQ(image.pixel(50, 75), 0xff0000UL); // row 0 at the bottom: 0, 1
    EXPECT_EQ(image.pixel(150, 75), 0x00ff00UL);
    EXPECT_EQ(image.pixel(50, 25), 0x0000ffUL); // row 1: 2, 3
    EXPECT_EQ(image.pixel(150, 25), 0xffffffUL);
}

namespace {

// Series of a million points: a noisy sine, a random walk, a flat line with
// single-sample spikes.
std::vector<double> series(int kind, std::size_t count) {
    std::mt19937_64 random(7);
    std::normal_distribution<double> noise;
    std::vector<double> y;
    double walk = 0;
    for (std::size_t i = 0; i < count; ++i)
        y.push_back(kind == 0   ? std::sin(static_cast<double>(i) * 1e-5) + 0.3 * noise(random)
                    : kind == 1 ? walk += noise(random)
                                : (i % 997 == 17 ? 5.0 : 0.0));
    return y;
}

// What x, y as columns of every point, or reduced, leave in `file`: an
// image, a saved file or a table; the points sent, gnuplot's messages.
struct Drawn {
    std::string file, errors;
    std::size_t sent = 0;
};

// setup names the file as %s, or else is followed by "set output"; with
// `saved`, the file comes from gnuplot_save.
Drawn draw(const std::string &file, const char *setup, const char *style, bool saved,
           const std::vector<double> &x, const std::vector<double> &y, bool reduced) {
    test::Capture errors(2);
    _GNUPLOT_CTRL_ *h = gnuplot_init();
    std::string line = setup;
    const std::size_t named = line.find("%s");
    if (named == std::string::npos) {
        gnuplot_cmd(h, "%s", setup);
        if (!saved)
            gnuplot_cmd(h, "set output '%s'", file.c_str());
    } else {
        gnuplot_cmd(h, "%s", line.replace(named, 2, file).c_str());
    }
    std::strchr(style, ' ') != nullptr ? gnuplot_set_curve_style(h, style)
                                       : gnuplot_setstyle(h, style);
    const double *const columns[] = {x.data(), y.data()};
    const int count = static_cast<int>(x.size());
    reduced ? gnuplot_plot_xy_reduced(h, x.data(), y.data(), count, "series")
            : gnuplot_plot_columns(h, columns, 2, count, "series");
    if (saved)
        gnuplot_save(h, file.c_str());
    Drawn drawn;
    drawn.sent = test::read_file(h->temp_files[0]).size() / (2 * sizeof(double));
    gnuplot_close(h);
    drawn.file = test::read_file(file);
    drawn.errors = std::regex_replace(errors.text(), std::regex("chartlink-\\w{6}"), "<file>");
    return drawn;
}

} // namespace

TEST(EndToEnd, AReducedPlotDrawsTheImageOfEveryPoint) {
    enum Xs { ascending, unsorted, huge, equal };
    const struct {
        const char *what;
        int kind;
        Xs xs;
        std::size_t count;
        const char *setup; // "" plots on the default terminal, then saves
        const char *style;
        const char *file; // a single png within the bounds, or the same bytes
        bool saved, reducible;
        double pixels, mean;
    } cases[] = {
        {"noisy sine", 0, ascending, 1000000, "set terminal png size 800,600", "lines", "a.png",
         false, true, 0, 0},
        {"random walk", 1, ascending, 1000000, "set terminal png size 800,600", "lines", "a.png",
         false, true, 0, 0},
        {"spikes", 2, ascending, 1000000, "set terminal png size 800,600", "lines", "a.png", false,
         true, 0, 0},
        {"fixed ranges", 2, ascending, 1000000,
         "set terminal png; set xrange [200:300]; set yrange [-1:3]", "lines", "a.png", false, true,
         0, 0},
        {"x range inside the data", 1, ascending, 100000, "set terminal png; set xrange [1:99]",
         "lines", "a.png", false, true, 0, 0},
        {"x range open above", 1, ascending, 100000, "set terminal png; set xrange [50:*]", "lines",
         "a.png", false, true, 0, 0},
        {"x range beyond the data", 1, ascending, 100000, "set terminal png; set xrange [200:300]",
         "lines", "a.png", false, false, 0, 0},
        {"unsorted", 1, unsorted, 1000000, "set terminal png", "lines", "a.png", false, false, 0,
         0},
        {"x spanning every double", 1, huge, 100000, "set terminal png", "lines", "a.png", false,
         false, 0, 0},
        {"every x equal", 1, equal, 100000, "set terminal png", "lines", "a.png", false, false, 0,
         0},
        {"points", 1, ascending, 1000000, "set terminal png", "points", "a.png", false, false, 0,
         0},
        {"coloured lines", 1, ascending, 1000000, "set terminal png", "lines lc rgb '#ff0000'",
         "a.png", false, true, 0, 0},
        {"wide lines", 1, ascending, 100000, "set terminal png", "lines lw 3", "a.png", false,
         false, 0, 0},
        {"log y", 1, ascending, 100000, "set terminal png; set logscale y", "lines", "a.png", false,
         false, 0, 0},
        {"polar", 1, ascending, 100000, "set terminal png; set polar", "lines", "a.png", false,
         false, 0, 0},
        {"multiplot", 1, ascending, 100000, "set terminal png; set output '%s'; set multiplot",
         "lines", "a.png", false, false, 0, 0},
        {"output written", 1, ascending, 100000, "set terminal png; set output '%s'; plot x",
         "lines", "a.png", false, false, 0, 0},
        {"table", 1, ascending, 100000, "set terminal png; set table '%s'", "lines", "a.txt", false,
         false, 0, 0},
        {"gif animate", 1, ascending, 100000, "set terminal gif animate; set output '%s'", "lines",
         "a.gif", false, false, 0, 0},
        // Antialiased or in character cells, the reduced points would draw otherwise.
        {"pngcairo", 1, ascending, 1000000, "set terminal pngcairo", "lines", "a.png", false, false,
         0, 0},
        {"pngcairo spikes", 2, ascending, 300000, "set terminal pngcairo", "lines", "a.png", false,
         false, 0, 0},
        {"pngcairo fixed y range", 1, ascending, 1000000,
         "set terminal pngcairo; set yrange [-300:300]", "lines", "a.png", false, false, 0, 0},
        {"dumb", 1, ascending, 200000, "set terminal dumb size 160,50", "lines", "a.txt", false,
         false, 0, 0},
        {"pngcairo dashed", 1, ascending, 100000,
         "set terminal pngcairo; set linetype 1 dashtype 2", "lines", "a.png", false, false, 0, 0},
        {"saved", 1, ascending, 1000000, "", "lines", "a.png", true, false, 0, 0},
        {"saved at another size", 1, ascending, 1000000,
         "set terminal png size 100,80; set output '%s.shown'", "lines", "a.png", true, true, 0, 0},
        {"saved as svg", 1, ascending, 1000000, "set terminal png; set output '%s.shown'", "lines",
         "a.svg", true, true, 0, 0},
    };
    test::TempDir dir;
    for (const auto &c : cases) {
        const std::vector<double> y = series(c.kind, c.count);
        std::vector<double> x;
        for (std::size_t i = 0; i < y.size(); ++i)
            x.push_back(
                c.xs == unsorted && i % 1000 == 500 ? x.back() - 1e-4
                : c.xs == huge
                    ? (static_cast<double>(i) * 2.0 / static_cast<double>(y.size() - 1) - 1) *
                          1.7e308
                : c.xs == equal ? 1
                                : static_cast<double>(i) * 1e-3);
        const std::string full = dir.path() + "/full-" + c.file,
                          fewer = dir.path() + "/reduced-" + c.file;
        const Drawn all = draw(full, c.setup, c.style, c.saved, x, y, false),
                    sent = draw(fewer, c.setup, c.style, c.saved, x, y, true);
        EXPECT_EQ(sent.sent < all.sent / 10, c.reducible)
            << c.what << ": " << sent.sent << " of " << all.sent;
        EXPECT_EQ(sent.errors, all.errors) << c.what;
        if (sent.file == all.file)
            continue;
        EXPECT_EQ(test::png_iend_count(fewer), 1) << c.what; // else the same bytes
        const test::Difference difference =
            test::compare(test::read_png(full), test::read_png(fewer));
        EXPECT_LE(difference.pixels, c.pixels) << c.what;
        EXPECT_LE(difference.mean, c.mean) << c.what;
    }
}
