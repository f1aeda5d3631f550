// Curve styles, panels, time axes, bars and histograms: the lines sent to
// the stand-in, and what the real gnuplot draws from them.
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "internal/handle.h"
#include "support.h"

using test::run_session;

namespace {

// The transcript with data file names as <file> and array names as <a>.
std::string plain(const std::string &text) {
    return std::regex_replace(
        std::regex_replace(text, std::regex("/tmp/chartlink-\\w{6}"), "<file>"),
        std::regex("c\\w{7}_(\\d)"), "<a$1>");
}

std::vector<double> doubles_in(const std::string &bytes) {
    std::vector<double> values(bytes.size() / sizeof(double));
    std::memcpy(values.data(), bytes.data(), values.size() * sizeof(double));
    return values;
}

const double values[] = {0.5, 2, 1700000000.25};

} // namespace

TEST(CurveStyle, ReplacesTheStyleAfterWithUntilClearedOrASetStyle) {
    const double *const columns[] = {values, values, values};
    const auto t = run_session([&](_GNUPLOT_CTRL_ *h) {
        gnuplot_set_curve_style(h, "lines lc rgb '#1f77b4' lw 2");
        gnuplot_plot_equation(h, "sin(x)", "a");
        gnuplot_plot_slope(h, 1, 2, nullptr);
        gnuplot_plot_x(h, values, 3, "b");
        gnuplot_set_curve_style(h, "a\nb");
        gnuplot_set_curve_style(h, std::string(2047, 'l').c_str());
        gnuplot_plot_columns(h, columns, 2, 3, nullptr);
        gnuplot_set_curve_style(h, "");
        gnuplot_plot_equation(h, "x", "c");
        gnuplot_set_curve_style(h, "filledcurves x1");
        gnuplot_setstyle(h, "steps");
        gnuplot_plot_xy_reduced(h, values, values, 3, "d");
        gnuplot_set_curve_style(h, "points pt 7");
        gnuplot_set_curve_style(h, nullptr);
        gnuplot_plot_equation(h, "x", "e");
        gnuplot_resetplot(h);
        gnuplot_set_curve_style(h, "points pt 7");
        gnuplot_splot_columns(h, columns, 3, 3, "f");
    });
    EXPECT_EQ(plain(t.sent),
              "plot sin(x) title \"a\" with lines lc rgb '#1f77b4' lw 2\n"
              "replot 1 * x + 2 title \"no title\" with lines lc rgb '#1f77b4' lw 2\n"
              "replot \"<file>\" title \"b\" with lines lc rgb '#1f77b4' lw 2\n"
              "replot \"<file>\" binary format=\"%2float64\" using 1:2 with lines lc rgb '#1f77b4' "
              "lw 2\n"
              "replot x title \"c\" with points\n"
              "replot \"<file>\" binary format=\"%2float64\" using 1:2 title \"d\" with steps\n"
              "replot x title \"e\" with steps\n"
              "splot \"<file>\" binary format=\"%3float64\" using 1:2:3 title \"f\" with points "
              "pt 7\n");
    EXPECT_EQ(t.errors, "curve style holds a line break: not set\n"
                        "curve style too long: not set\n");
}

TEST(Layout, SendsEachPanelAsOnePlotLineAndKeepsTheFigureForSaves) {
    const double *const columns[] = {values, values, values};
    std::string script;
    const auto t = run_session([&](_GNUPLOT_CTRL_ *h) {
        gnuplot_set_layout(h, 0, 2, "t");
        gnuplot_set_layout(h, 2, -1, nullptr);
        gnuplot_plot_equation(h, "x", "before");
        gnuplot_set_layout(h, 1, 2, "It's");
        gnuplot_set_layout(h, 1, 2, nullptr);
        gnuplot_plot_equation(h, "sin(x)", "s");
        gnuplot_set_curve_style(h, "lines lc rgb 'red'");
        gnuplot_plot_xy_reduced(h, values, values, 3, "v"); // every point in a panel
        gnuplot_splot_columns(h, columns, 3, 3, "3-D");
        EXPECT_EQ(gnuplot_plot_live(h, values, values, 3, "live"), -1);
        EXPECT_EQ(gnuplot_save(h, "a.png"), -1);
        EXPECT_EQ(gnuplot_sync(h, 5000), 0);
        EXPECT_EQ(h->plot_count, 2);
        gnuplot_next_panel(h);
        gnuplot_cmd(h, "set title 'B'");
        gnuplot_splot_columns(h, columns, 3, 3, "3-D");
        gnuplot_next_panel(h);
        gnuplot_end_layout(h);
        gnuplot_end_layout(h);
        gnuplot_next_panel(h);
        EXPECT_EQ(h->plot_count, 0);
        EXPECT_EQ(gnuplot_save(h, "a.png"), 0);
        script = test::read_file(h->temp_files[h->temp_file_count - 1]);
        gnuplot_plot_equation(h, "x", "after"); // a new graph
    });
    const std::string panels = "set multiplot layout 1,2 title 'It' . \"'\" . 's'\n"
                               "set margins 10,3,3,3\n"
                               "plot sin(x) title \"s\" with points, \\\n"
                               "\"<file>\" binary format=\"%2float64\" using 1:2 title \"v\" with "
                               "lines lc rgb 'red'\n"
                               "set title 'B'\n"
                               "splot \"<file>\" binary format=\"%3float64\" using 1:2:3 title "
                               "\"3-D\" with lines lc rgb 'red'\n"
                               "unset multiplot\n"
                               "load '<file>'\n";
    // Without the requests' lines.
    const std::string sent =
        std::regex_replace(plain(t.sent), std::regex("\n\n(set print[^\n]*\n)+"), "\n");
    EXPECT_EQ(sent.substr(0, sent.find("\nt") + 1), "plot x title \"before\" with points\n"
                                                    "save set '<file>'\n" +
                                                        panels)
        << sent;
    EXPECT_NE(sent.find("{set output './a.png'; save set '<file>'; load '<file>'; load '<file>'} "
                        "else {replot}"),
              std::string::npos);
    EXPECT_EQ(sent.substr(sent.rfind("\n", sent.size() - 2) + 1),
              "plot x title \"after\" with lines lc rgb 'red'\n");
    EXPECT_EQ(plain(script), "load '<file>'\n" + panels);
    EXPECT_EQ(t.errors, "a layout needs at least 1 row and 1 column: not started\n"
                        "a layout needs at least 1 row and 1 column: not started\n"
                        "a figure is already being laid out: not started\n"
                        "2-D and 3-D plots do not mix in a panel: plot not sent\n"
                        "a live curve cannot go into a layout: plot not sent\n"
                        "a figure is being laid out: end it first: not saved\n"
                        "the figure has no panel left: not moved\n"
                        "no figure is being laid out: not ended\n"
                        "no figure is being laid out: not moved\n");
}

TEST(Layout, AResetOrCloseEndsTheFigureAndAnEmptyPanelIsSkipped) {
    const auto t = run_session([&](_GNUPLOT_CTRL_ *h) {
        gnuplot_set_layout(h, 3, 1, nullptr);
        gnuplot_next_panel(h);
        gnuplot_set_curve_style(h, "lines lc rgb '#f00' dt \"#\\\"\" # a comment");
        gnuplot_plot_equation(h, "x", "a");
        gnuplot_plot_equation(h, "x", "a2"); // not swallowed by the comment
        gnuplot_set_curve_style(h, nullptr);
        gnuplot_resetplot(h);
        gnuplot_plot_equation(h, "x", "b");
        gnuplot_set_layout(h, 12, 5, "t");
        gnuplot_plot_equation(h, "x", "c");
        gnuplot_end_layout(h);
        gnuplot_set_layout(h, 1, 1, nullptr); // one panel: the caller's margins stay
    });
    EXPECT_EQ(plain(t.sent), "save set '<file>'\n"
                             "set multiplot layout 3,1\n"
                             "set margins 10,3,3,3\n"
                             "set multiplot next\n"
                             "plot x title \"a\" with lines lc rgb '#f00' dt \"#\\\"\", \\\n"
                             "x title \"a2\" with lines lc rgb '#f00' dt \"#\\\"\"\n"
                             "unset multiplot\n"
                             "load '<file>'\n"
                             "plot x title \"b\" with points\n"
                             "save set '<file>'\n"
                             "set multiplot layout 12,5 title 't'\n"
                             "set margins 10,3,3,3\n"
                             "plot x title \"c\" with points\n"
                             "unset multiplot\n"
                             "load '<file>'\n"
                             "save set '<file>'\n"
                             "set multiplot layout 1,1\n"
                             "unset multiplot\n"
                             "load '<file>'\n");
    EXPECT_EQ(t.errors, "warning: reset inside a layout: the figure ends first\n"
                        "warning: close inside a layout: the figure ends first\n");
}

TEST(Bars, LabelsTravelExactlyInAnArrayAndValuesAsBoxes) {
    const char *const labels[] = {"it's", "\"q\" 100% %d", "a\\b_^@&{}", nullptr, "\xC3\xA9"};
    const char *const broken[] = {"fine", "two\nlines"};
    const double heights[] = {3, -1, 0.5, NAN, 2};
    const double samples[] = {0, 1, 2, 3, 4, NAN, INFINITY, 4}, same[] = {5, 5},
                 widest[] = {-1.7e308, 1.7e308}, tiny[] = {0, 0x1p-1072},
                 tenths[] = {0, 0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 0.7, 0.8, 0.9, 1.0},
                 largest[] = {DBL_MAX, DBL_MAX}, lowest[] = {-DBL_MAX};
    std::vector<std::vector<double>> data;
    const auto mark = test::files_made().size();
    const auto t = run_session([&](_GNUPLOT_CTRL_ *h) {
        gnuplot_plot_bars(h, broken, heights, 2, "t");
        EXPECT_EQ(test::files_made().size(), mark);
        gnuplot_plot_bars(h, labels, heights, 5, nullptr);
        gnuplot_plot_histogram(h, samples, 8, 4, "h");
        gnuplot_plot_histogram(h, samples, 8, 0, "h");
        gnuplot_plot_histogram(h, samples, 8, CHARTLINK_MAX_BINS + 1, "h");
        gnuplot_plot_histogram(h, samples + 5, 2, 3, "h"); // nothing finite
        gnuplot_plot_histogram(h, same, 2, 1, nullptr);
        gnuplot_plot_histogram(h, widest, 2, 2, nullptr);
        gnuplot_plot_histogram(h, tiny, 2, 2, nullptr);
        gnuplot_plot_histogram(h, tenths, 11, 10, nullptr);
        gnuplot_plot_histogram(h, largest, 2, 3, nullptr);
        gnuplot_plot_histogram(h, lowest, 1, 3, nullptr);
        gnuplot_plot_bars(h, labels, heights, 0, "t");
        gnuplot_plot_histogram(h, samples, -1, 4, "h");
        for (int slot = 0; slot < h->temp_file_count; ++slot)
            data.push_back(doubles_in(test::read_file(h->temp_files[slot])));
    });
    const std::string boxes = "\"<file>\" binary format=\"%6float64\" using 1:2:3:4:5:6";
    EXPECT_EQ(plain(t.sent),
              "array <a1>[5]\n"
              "<a1>[1]='it' . \"'\" . 's';<a1>[2]='\"q\" 100% %d';<a1>[3]='a\\b_^@&{}';"
              "<a1>[4]='';<a1>[5]='\xC3\xA9'\n"
              "set xtics noenhanced\n"
              "plot " +
                  boxes +
                  ":xtic(<a1>[int($0)+1]) notitle with boxxyerror "
                  "fillstyle solid\n"
                  "replot " +
                  boxes +
                  " title \"h\" with boxxyerror fillstyle solid\n"
                  "replot " +
                  boxes +
                  " notitle with boxxyerror fillstyle solid\n"
                  "replot " +
                  boxes + " notitle with boxxyerror fillstyle solid\n" + "replot " + boxes +
                  " notitle with boxxyerror fillstyle solid\n" + "replot " + boxes +
                  " notitle with boxxyerror fillstyle solid\n" + "replot " + boxes +
                  " notitle with boxxyerror fillstyle solid\n" + "replot " + boxes +
                  " notitle with boxxyerror fillstyle solid\n");
    EXPECT_EQ(t.errors, "bar label holds a line break: plot not sent\n"
                        "too many bins (at most 1000000): plot not sent\n");
    ASSERT_EQ(data.size(), 8U);
    EXPECT_EQ(data[0], (std::vector<double>{0,   3,   -0.4, 0.4, 0,   3,   1,   -1,  0.6, 1.4,
                                            0,   -1,  2,    0.5, 1.6, 2.4, 0,   0.5, 3,   0,
                                            3.4, 3.4, 0,    0,   4,   2,   3.6, 4.4, 0,   2}));
    EXPECT_EQ(data[1], (std::vector<double>{0.5, 1, 0, 1, 0, 1, 1.5, 1, 1, 2, 0, 1,
                                            2.5, 1, 2, 3, 0, 1, 3.5, 3, 3, 4, 0, 3}));
    EXPECT_EQ(data[2], (std::vector<double>{5, 2, 4.5, 5.5, 0, 2}));
    EXPECT_EQ(data[3][1], 1); // a range as wide as the doubles: each in its bin
    EXPECT_EQ(data[3][7], 1);
    for (double value : data[3])
        EXPECT_TRUE(std::isfinite(value));
    EXPECT_EQ(data[4][1], 1) << "subnormal values in their own bins";
    EXPECT_EQ(data[4][7], 1);
    // Each value counts in the bin drawn around it, [start, end), the largest
    // in the last; the edges finite and joined.
    const std::pair<const double *, std::size_t> counted[] = {
        {samples, 8}, {same, 2}, {widest, 2}, {tiny, 2}, {tenths, 11}, {largest, 2}, {lowest, 1}};
    for (std::size_t set = 0; set < std::size(counted); ++set) {
        const std::vector<double> &bins = data[set + 1];
        for (std::size_t at = 0; at < bins.size(); at += 6) {
            const bool last = at + 6 == bins.size();
            const double start = bins[at + 2], end = bins[at + 3];
            EXPECT_TRUE(std::isfinite(start) && std::isfinite(end) && start < end) << set;
            EXPECT_EQ(start, at > 0 ? bins[at - 3] : start) << set;
            const auto [set_values, count] = counted[set];
            const auto held = std::count_if(set_values, set_values + count, [&](double value) {
                return start <= value && (value < end || (last && value == end));
            });
            EXPECT_EQ(bins[at + 1], static_cast<double>(held)) << set << " bin " << at / 6;
        }
    }
}

TEST(TimeAxis, SetsTimeTicsOnANumericAxisAndBack) {
    const auto t = run_session([](_GNUPLOT_CTRL_ *h) {
        gnuplot_set_xtime(h, "%H:%M 'UTC'");
        gnuplot_set_xtime(h, "%H\n");
        gnuplot_set_xtime(h, nullptr);
    });
    EXPECT_EQ(t.sent, "set format x '%H:%M ' . \"'\" . 'UTC' . \"'\" . '' timedate\n"
                      "set format x \"% h\" numeric\n");
    EXPECT_EQ(t.errors, "command holds a line break: not sent\n");
}

// Through the real gnuplot: colours in their panels, bars growing with their
// values, labels and times read back exactly, counts through a table.
TEST(EndToEnd, FiguresDrawWhatTheySayAndReadBackExactly) {
    test::TempDir dir;
    const std::string image = dir.path() + "/panels.png", saved = dir.path() + "/saved.png",
                      table = dir.path() + "/counts.txt";
    _GNUPLOT_CTRL_ *h = gnuplot_init();
    ASSERT_NE(h, nullptr);
    gnuplot_cmd(h, "set terminal png size 400,200");
    gnuplot_cmd(h, "set output '%s'", image.c_str());
    gnuplot_cmd(h, "unset key; unset tics");
    const double x[] = {0, 1, 2, 3}, y[] = {0, 1, 0, 1};
    gnuplot_set_layout(h, 1, 2, nullptr);
    gnuplot_set_curve_style(h, "lines lc rgb '#ff0000' lw 3");
    gnuplot_plot_xy(h, x, y, 4, nullptr);
    gnuplot_next_panel(h);
    gnuplot_set_curve_style(h, "lines lc rgb '#0000ff' lw 3");
    gnuplot_plot_xy(h, x, y, 4, nullptr);
    gnuplot_end_layout(h);
    gnuplot_cmd(h, "set xrange [-100:200]"); // the caller's, for what follows
    gnuplot_resetplot(h);                    // the figure stays until the next plot
    EXPECT_EQ(gnuplot_save(h, saved.c_str()), 0) << gnuplot_last_error(h);
    gnuplot_cmd(h, "unset output");
    const auto count = [](const test::Image &picture, unsigned long colour, unsigned from,
                          unsigned to) {
        int found = 0;
        for (unsigned row = 0; row < picture.height; ++row)
            for (unsigned column = from; column < to; ++column)
                found += picture.pixel(column, row) == colour;
        return found;
    };
    const test::Image drawn = test::read_png(image);
    ASSERT_EQ(drawn.width, 400U);
    EXPECT_GT(count(drawn, 0xff0000, 0, 200), 100);
    EXPECT_EQ(count(drawn, 0xff0000, 200, 400), 0);
    EXPECT_GT(count(drawn, 0x0000ff, 200, 400), 100);
    EXPECT_EQ(count(drawn, 0x0000ff, 0, 200), 0);
    const test::Image whole = test::read_png(saved); // both panels, not the last alone
    ASSERT_EQ(whole.width, 640U);
    EXPECT_GT(count(whole, 0xff0000, 0, 320), 100);
    EXPECT_EQ(count(whole, 0xff0000, 320, 640), 0);
    EXPECT_GT(count(whole, 0x0000ff, 320, 640), 100);
    EXPECT_EQ(count(whole, 0x0000ff, 0, 320), 0);
    gnuplot_cmd(h, "set output '/dev/null'");
    gnuplot_plot_equation(h, "x", nullptr);
    double left = 0; // the save kept the caller's range
    EXPECT_EQ(gnuplot_get_number(h, "GPVAL_X_MIN", &left, -1), 0);
    EXPECT_EQ(left, -100);
    gnuplot_cmd(h, "set autoscale x");
    gnuplot_resetplot(h);

    // Labels exactly as given, bars from 0 growing with their values.
    const char *const labels[] = {"'it's'", "\"q\" 100% %d", "a\\b_^@&{} \xE2\x82\xAC", "none"};
    const double heights[] = {1, 2, 3, NAN};
    const std::string bars = dir.path() + "/bars.png";
    gnuplot_cmd(h, "set output '%s'; set margins 0,0,0,0; unset border", bars.c_str());
    gnuplot_set_curve_style(h, nullptr);
    gnuplot_plot_bars(h, labels, heights, 4, nullptr);
    const char *tag = plot_control::handle_of(h).reply.tag;
    for (int i = 0; i < 4; ++i) {
        const char *text = nullptr;
        const std::string element = std::string(tag) + "_0[" + std::to_string(i + 1) + "]";
        ASSERT_EQ(gnuplot_get_text(h, element.c_str(), &text, -1), 0) << gnuplot_last_error(h);
        EXPECT_STREQ(text, labels[i]);
    }
    double low = -1;
    EXPECT_EQ(gnuplot_get_number(h, "GPVAL_Y_MIN", &low, -1), 0);
    EXPECT_EQ(low, 0);
    gnuplot_cmd(h, "unset output");
    const test::Image bar_image = test::read_png(bars);
    std::vector<int> filled;
    for (unsigned at : {400 / 8U, 400 * 3 / 8U, 400 * 5 / 8U})
        filled.push_back(static_cast<int>(bar_image.height) -
                         count(bar_image, 0xffffff, at, at + 1));
    EXPECT_LT(filled[0], filled[1]);
    EXPECT_LT(filled[1], filled[2]);
    EXPECT_EQ(count(bar_image, 0x9400d3, 300, 400), 0) << "the bar not finite drew something";

    // A time axis keeps the seconds exact; a histogram's counts read back.
    gnuplot_resetplot(h);
    gnuplot_set_xtime(h, "%H:%M");
    gnuplot_cmd(h, "set autoscale xfix; set terminal png; set output '/dev/null'");
    const double times[] = {1700000000.25, 1700003600}, temperatures[] = {10, 12};
    gnuplot_plot_xy(h, times, temperatures, 2, "day");
    double first = 0;
    EXPECT_EQ(gnuplot_get_number(h, "GPVAL_X_MIN", &first, -1), 0);
    EXPECT_EQ(first, 1700000000.25);
    gnuplot_resetplot(h);
    gnuplot_set_xtime(h, nullptr);
    gnuplot_cmd(h, "set table '%s'", table.c_str());
    const double samples[] = {1, 2, 2, 3, 3, 3, 4, 4, 4, 4};
    gnuplot_plot_histogram(h, samples, 10, 4, nullptr);
    gnuplot_cmd(h, "unset table");
    EXPECT_EQ(gnuplot_sync(h, -1), 0) << gnuplot_last_error(h);
    gnuplot_close(h);
    std::istringstream rows(test::read_file(table));
    std::vector<double> counts;
    for (std::string row; std::getline(rows, row);) {
        double numbers[6];
        if (std::sscanf(row.c_str(), "%lf %lf %lf %lf %lf %lf", &numbers[0], &numbers[1],
                        &numbers[2], &numbers[3], &numbers[4], &numbers[5]) == 6)
            counts.push_back(numbers[5]);
    }
    EXPECT_EQ(counts, (std::vector<double>{1, 2, 3, 4}));
}
