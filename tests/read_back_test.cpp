// gnuplot_get_number and gnuplot_get_text, through the real gnuplot.
#include <cmath>
#include <regex>
#include <string>

#include <locale.h>

#include <gtest/gtest.h>

#include "support.h"

using test::RealGnuplot;

TEST(Get, ReadsNumbersAndTextsBackExactly) {
    RealGnuplot gnuplot;
    _GNUPLOT_CTRL_ *h = gnuplot.handle;
    ASSERT_NE(h, nullptr);
    test::Capture errors(2);
    gnuplot_cmd(h, "set terminal dumb");
    gnuplot_cmd(h, "set output '/dev/null'");
    gnuplot_cmd(h, "long = ''; do for [i=1:1000] { long = long . '0123456789' }");
    const double x[] = {0, 1, 2, 3}, y[] = {0.5, 2.5, 4.5, 6.5}; // y = 2x + 0.5
    const double *const columns[] = {x, y};
    gnuplot_cmd(h, "set xrange [-2:3]");
    gnuplot_plot_columns(h, columns, 2, 4, nullptr);
    const std::string file = h->temp_files[0];
    gnuplot_cmd(h, "fit a*x + b '%s' binary format='%%2float64' using 1:2 via a, b", file.c_str());
    gnuplot_cmd(h, "stats '%s' binary format='%%2float64' using 2 nooutput", file.c_str());
    const struct {
        const char *expression;
        double value;
    } numbers[] = {{"pi", M_PI},       {"1.0/3", 1.0 / 3},  {"2**62", 0x1p62}, {"1e-310", 1e-310},
                   {"GPVAL_X_MAX", 3}, {"STATS_mean", 3.5}, {"a", 2},          {"b", 0.5}};
    for (const auto &n : numbers) {
        double value = -1;
        EXPECT_EQ(gnuplot_get_number(h, n.expression, &value, -1), 0) << gnuplot_last_error(h);
        EXPECT_NEAR(value, n.value, n.expression[1] == '\0' ? 1e-9 : 0) << n.expression; // a, b fit
    }
    const struct {
        const char *expression;
        std::string text;
    } texts[] = {{"\"two\\nlines\"", "two\nlines"},
                 {"'say \"hi\", 50%'", "say \"hi\", 50%"},
                 {"long",
                  [] {
                      std::string ten_thousand;
                      for (int i = 0; i < 1000; ++i)
                          ten_thousand += "0123456789";
                      return ten_thousand;
                  }()},
                 {"6*7", "42"},
                 // As gnuplot reads them at the end of a line.
                 {"'it''s' . strlen('')", "it's0"},
                 {"'a", "a"},
                 {"1 # {", "1"},
                 {"1); unset print; x=(1", "1"}};
    for (const auto &t : texts) {
        const char *text = nullptr;
        ASSERT_EQ(gnuplot_get_text(h, t.expression, &text, -1), 0) << gnuplot_last_error(h);
        EXPECT_EQ(text, t.text) << t.expression;
    }
    double untouched = 42;
    const char *text = "untouched";
    // Rejected as gnuplot reads the line, or leaving a block open: still an answer.
    for (const char *rejected : {"sinn(1)", "1e", "2\\", "1@2", "1\x01", "1 + {", "{\"", "{ #"}) {
        EXPECT_EQ(gnuplot_get_number(h, rejected, &untouched, 10000), 1) << rejected;
        EXPECT_NE(std::string(gnuplot_last_error(h)), "") << rejected;
        EXPECT_EQ(gnuplot_get_text(h, rejected, &text, 10000), 1) << rejected;
    }
    EXPECT_STREQ(text, "untouched");
    EXPECT_FALSE(std::regex_search(errors.text(), std::regex("c[0-9a-z]{7}[0-9]+[EVR]")))
        << "a record went astray";
    EXPECT_EQ(gnuplot_get_number(h, "'abc'", &untouched, -1), 1);
    EXPECT_EQ(gnuplot_get_number(h, "{1,2}", &untouched, -1), 1);
    EXPECT_STREQ(gnuplot_last_error(h), "not a real number: 1 2");
    EXPECT_EQ(untouched, 42);
    gnuplot_cmd(h, "pause 2");
    EXPECT_EQ(gnuplot_get_number(h, "1", &untouched, 100), -1);
    EXPECT_EQ(gnuplot_get_number(h, "7", &untouched, -1), 0);
    EXPECT_EQ(untouched, 7);
    // gnuplot's sprintf writes the decimal sign of the locale it is told to use.
    const locale_t german = newlocale(LC_NUMERIC_MASK, "de_DE.UTF-8", nullptr);
    ASSERT_NE(german, nullptr) << "the test step generates this locale";
    freelocale(german);
    gnuplot_cmd(h, "set decimalsign locale \"de_DE.UTF-8\"");
    EXPECT_EQ(gnuplot_get_number(h, "-0.25e-300", &untouched, -1), 0) << gnuplot_last_error(h);
    EXPECT_EQ(untouched, -0.25e-300);
    test::Capture ended(2);
    gnuplot_cmd(h, "exit");
    EXPECT_EQ(gnuplot_get_number(h, "1", &untouched, -1), -1);
    EXPECT_EQ(gnuplot_save(h, "ended.png"), -1);
    EXPECT_EQ(ended.text(), "gnuplot has ended: no value read\ngnuplot has ended: not saved\n");
}
