// gnuplot_plot_grid and gnuplot_splot_grid, beside 3-D columns.
#include <cmath>
#include <regex>
#include <string>

#include <gtest/gtest.h>

#include "support.h"

using test::other;
using test::run_session;
using test::values;

TEST(GridPlots, GridsAndThreeDSendTheirLayoutsAndRefuseWhatCannotBeDrawn) {
    const double x[] = {0, 1, 2}, uneven[] = {0, 1, 3}, y[] = {0, 1}, inf_x[] = {0, 1, INFINITY},
                 nan_y[] = {0, NAN}, huge_x[] = {-1.5e308, 0, 1.7e308};
    const double *const three[] = {values, other, values};
    const auto mark = test::files_made().size();
    const auto t = run_session([&](_GNUPLOT_CTRL_ *h) {
        gnuplot_splot_columns(h, three, 3, 2, "c");
        gnuplot_splot_grid(h, x, y, values, 2, 3, nullptr);
        gnuplot_plot_grid(h, x, y, values, 2, 3, "t"); // 2-D on a 3-D graph
        gnuplot_plot_equation(h, "x", "t");
        gnuplot_resetplot(h);
        gnuplot_plot_grid(h, nullptr, nullptr, values, 2, 3, "a");
        gnuplot_plot_grid(h, x, nullptr, values, 2, 3, nullptr);
        gnuplot_plot_grid(h, uneven, y, values, 2, 3, nullptr);
        gnuplot_splot_columns(h, three, 3, 2, "t"); // 3-D on a 2-D graph
        gnuplot_splot_grid(h, x, y, values, 2, 3, "t");
        gnuplot_plot_grid(h, inf_x, y, values, 2, 3, "t");
        gnuplot_plot_grid(h, x, nan_y, values, 2, 3, "t");
        gnuplot_plot_grid(h, huge_x, y, values, 2, 3, "t"); // finite, but not the outer cells
        gnuplot_splot_columns(h, three, 2, 2, "t");
        gnuplot_splot_columns(h, three, 9, 2, "t");
        gnuplot_plot_grid(h, x, y, values, 1, 3, "t");
        gnuplot_splot_grid(h, x, y, values, 2, 1, "t");
        gnuplot_splot_columns(h, three, 3, 0, "t");
        gnuplot_splot_grid(h, x, y, values, 0, 3, "t");
        gnuplot_splot_grid(h, x, y, values, 2, -1, "t");
        gnuplot_plot_xy_reduced(h, x, y, 0, "t");
        gnuplot_plot_xy_reduced(h, x, y, 2, nullptr); // points: every point, as columns
        EXPECT_EQ(h->temp_file_count, 4);             // the same table as the other data plots
        EXPECT_EQ(h->plot_count, 4);
    });
    const std::string file = "\"/tmp/chartlink-\\w{6}\"";
    EXPECT_TRUE(std::regex_match(
        t.sent, std::regex("splot " + file +
                           " binary format=\"%3float64\" using 1:2:3 title \"c\" with points\n"
                           "replot " +
                           file +
                           " binary record=\\(3,2\\) format=\"%3float64\" using 1:2:3 with pm3d\n"
                           "plot " +
                           file +
                           " binary array=\\(3,2\\) format=\"%float64\" title \"a\" with image\n"
                           "replot " +
                           file +
                           " binary record=\\(3,2\\) format=\"%3float64\" using 1:2:3 with image\n"
                           "replot " +
                           file +
                           " binary format=\"%7float64\" using 1:2:4:5:6:7:3 with boxxyerror "
                           "fillcolor palette fillstyle solid noborder\n"
                           "replot " +
                           file + " binary format=\"%2float64\" using 1:2 with points\n")))
        << t.sent;
    const std::string mix = "2-D and 3-D plots do not mix: reset first: plot not sent\n",
                      infinite = "grid coordinates and their cells must be finite: plot not sent\n";
    EXPECT_EQ(t.errors, mix + mix + mix + mix + infinite + infinite + infinite +
                            "splot takes 3 to 8 columns: plot not sent\n"
                            "splot takes 3 to 8 columns: plot not sent\n"
                            "a grid needs at least 2 rows and 2 columns: plot not sent\n"
                            "a grid needs at least 2 rows and 2 columns: plot not sent\n");
    EXPECT_EQ(test::files_made().size(), mark + 6) << "a refused plot makes no file";
}

namespace grid {
const double v[] = {1.0 / 3, 2, 3, 4, 5, 0.1 * 3}, x[] = {0.1, 0.2, 0.7}, y[] = {1e-300, 1.0 / 7};
const double *const columns[] = {x, y, v};
} // namespace grid

TEST(GridPlots, GridsAndThreeDReachGnuplotExactAndDraw) {
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
