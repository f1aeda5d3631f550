// gnuplot_plot_xy_reduced, through the real gnuplot: the image of every
// point from fewer.
#include <cmath>
#include <cstring>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support.h"

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

TEST(ReducedPlots, AReducedPlotDrawsTheImageOfEveryPoint) {
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
