// gnuplot_plot_x, _xy, _columns and gnuplot_splot_columns: the data files
// they write and the lines they send.
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <pthread.h>

#include <gtest/gtest.h>

#include "support.h"

using test::file_of;
using test::other;
using test::run_session;
using test::value_count;
using test::values;

TEST(DataPlots, WriteOneOrTwoColumnsAndNameTheFileInTheCommand) {
    std::vector<std::string> names;
    const auto t = run_session([&](_GNUPLOT_CTRL_ *h) {
        gnuplot_plot_equation(h, "x", nullptr);
        gnuplot_plot_x(h, values, value_count, "one");
        gnuplot_plot_xy(h, values, other, value_count, nullptr);
        ASSERT_EQ(h->temp_file_count, 2);
        EXPECT_EQ(h->plot_count, 3);
        for (int slot = 0; slot < 2; ++slot) {
            names.push_back(file_of(h, slot));
            EXPECT_TRUE(
                std::regex_match(names.back(), std::regex("/tmp/chartlink-[A-Za-z0-9]{6}")));
            EXPECT_EQ(test::file_mode(names.back()), 0600);
        }
        EXPECT_EQ(test::read_file(names[0]), "0.5\n2\n-3\n1e-05\n1234567\n1733600000.5\nnan\n");
        EXPECT_EQ(test::read_file(names[1]), "0.5 -0.25\n2 100000\n-3 0.3333333333333333\n"
                                             "1e-05 7\n1234567 0\n1733600000.5 1e+300\nnan -2\n");
        gnuplot_resetplot(h);
        EXPECT_TRUE(test::file_exists(names[0])); // until gnuplot has read it
        EXPECT_EQ(h->temp_file_count, 0);
    });
    ASSERT_EQ(names.size(), 2U);
    EXPECT_EQ(t.sent, "plot x title \"no title\" with points\n"
                      "replot \"" +
                          names[0] +
                          "\" title \"one\" with points\n"
                          "replot \"" +
                          names[1] + "\" with points\n");
    EXPECT_EQ(t.errors, "");
    for (const auto &name : names)
        EXPECT_FALSE(test::file_exists(name)) << "close leaves " << name;
    for (const auto &made : test::files_made()) // never inherited by programs started meanwhile
        EXPECT_TRUE(made.close_on_exec) << made.name;
}

TEST(DataPlots, MissingArgumentsAreIgnoredSilently) {
    const auto mark = test::files_made().size();
    const auto t = run_session([&](_GNUPLOT_CTRL_ *h) {
        gnuplot_plot_x(h, values, 0, "t");
        gnuplot_plot_x(h, values, -1, "t");
        gnuplot_plot_xy(h, values, other, 0, "t");
        EXPECT_EQ(h->temp_file_count, 0);
        EXPECT_EQ(h->plot_count, 0);
        EXPECT_EQ(test::files_made().size(), mark);
    });
    EXPECT_EQ(t.sent, "");
    EXPECT_EQ(t.errors, "");
}

// The data block is the handle's, not the caller's stack.
TEST(DataPlots, WorkFromAThreadWithA64KiBStack) {
    run_session([](_GNUPLOT_CTRL_ *h) {
        pthread_attr_t small;
        pthread_attr_init(&small);
        pthread_attr_setstacksize(&small, 64 * 1024);
        pthread_t thread;
        auto plot = [](void *handle) -> void * {
            gnuplot_plot_xy(static_cast<_GNUPLOT_CTRL_ *>(handle), values, other, value_count,
                            "small stack");
            return nullptr;
        };
        ASSERT_EQ(pthread_create(&thread, &small, plot, h), 0);
        pthread_join(thread, nullptr);
        EXPECT_EQ(h->plot_count, 1);
    });
}

TEST(DataPlots, ColumnsTravelAsRawDoublesWithTheirLayoutInTheCommand) {
    const double *const columns[] = {values, other, values};
    std::vector<std::string> names, data;
    const auto t = run_session([&](_GNUPLOT_CTRL_ *h) {
        gnuplot_plot_columns(h, columns, 1, value_count, "one");
        gnuplot_plot_columns(h, columns, 2, value_count, nullptr);
        gnuplot_setstyle(h, "errorbars");
        gnuplot_plot_columns(h, columns, 3, value_count, "three");
        for (int slot = 0; slot < h->temp_file_count; ++slot) {
            names.push_back(file_of(h, slot));
            data.push_back(test::read_file(names.back()));
        }
        gnuplot_plot_columns(h, columns, 0, 1, "t");
        gnuplot_plot_columns(h, columns, 1, 0, "t");
        const double *const nine[9] = {};
        gnuplot_plot_columns(h, nine, 9, 1, "t");
        EXPECT_EQ(h->temp_file_count, 3);
        EXPECT_EQ(h->plot_count, 3);
    });
    ASSERT_EQ(names.size(), 3U);
    EXPECT_EQ(t.sent, "plot \"" + names[0] +
                          "\" binary format=\"%float64\" using 0:1 title \"one\" with points\n"
                          "replot \"" +
                          names[1] +
                          "\" binary format=\"%2float64\" using 1:2 with points\n"
                          "replot \"" +
                          names[2] +
                          "\" binary format=\"%3float64\" using 1:2:3 title \"three\" with "
                          "errorbars\n");
    EXPECT_EQ(t.errors, "too many columns (at most 8): plot not sent\n");
    for (int count = 1; count <= 3; ++count) {
        std::string expected;
        for (int i = 0; i < value_count; ++i) {
            for (int c = 0; c < count; ++c)
                expected.append(reinterpret_cast<const char *>(&columns[c][i]), sizeof(double));
        }
        EXPECT_EQ(data[static_cast<std::size_t>(count - 1)], expected) << count << " columns";
    }
}

TEST(DataPlots, DataPlotOfPairsDrawsAnImage) {
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

TEST(DataPlots, ColumnsDrawErrorBarsAndReachGnuplotExact) {
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
