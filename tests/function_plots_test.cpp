#include <cmath>
#include <string>

#include <gtest/gtest.h>

#include "support.h"

using test::run_session;

TEST(FunctionPlots, PlotFirstThenReplotUntilAReset) {
    const auto t = run_session([](_GNUPLOT_CTRL_ *h) {
        gnuplot_set_xlabel(h, "time");
        gnuplot_set_ylabel(h, "height");
        EXPECT_EQ(h->plot_count, 0);
        gnuplot_plot_equation(h, "sin(x)", "Sine wave");
        gnuplot_setstyle(h, "lines");
        gnuplot_plot_slope(h, 2.0, 0.5, nullptr);
        gnuplot_plot_equation(h, "cos(x)", nullptr);
        EXPECT_EQ(h->plot_count, 3);
        gnuplot_resetplot(h);
        gnuplot_plot_slope(h, -1, -3, "down");
    });
    EXPECT_EQ(t.sent, "set xlabel \"time\"\n"
                      "set ylabel \"height\"\n"
                      "plot sin(x) title \"Sine wave\" with points\n"
                      "replot 2 * x + 0.5 title \"no title\" with lines\n"
                      "replot cos(x) title \"no title\" with lines\n"
                      "plot -1 * x + -3 title \"down\" with lines\n");
    EXPECT_EQ(t.errors, "");
}

TEST(FunctionPlots, SlopeAndInterceptKeepEveryDigitTheyNeed) {
    const auto t = run_session([](_GNUPLOT_CTRL_ *h) {
        gnuplot_plot_slope(h, 1.0 / 3, 1733600000.5, "t");
        gnuplot_plot_slope(h, 1e-07, 100000, "t");
        // Whole numbers beyond gnuplot's 64-bit integers, which it would warn of.
        gnuplot_plot_slope(h, 0x1p64, -0x1p63, "t");
        gnuplot_plot_slope(h, HUGE_VAL, 0, "t"); // no such literal in gnuplot
        gnuplot_plot_slope(h, 1, std::nan(""), "t");
        EXPECT_EQ(h->plot_count, 3);
    });
    EXPECT_EQ(t.sent, "plot 0.3333333333333333 * x + 1733600000.5 title \"t\" with points\n"
                      "replot 1e-07 * x + 100000 title \"t\" with points\n"
                      "replot 1.8446744073709552e+19 * x + -9.223372036854776e+18 title \"t\" "
                      "with points\n");
    EXPECT_EQ(t.errors, "slope and intercept must be finite: not sent\n"
                        "slope and intercept must be finite: not sent\n");
}

TEST(FunctionPlots, TextsReachGnuplotUnchanged) {
    const auto t = run_session([](_GNUPLOT_CTRL_ *h) {
        gnuplot_set_xlabel(h, "100% \"raw\" `date` %s");
        gnuplot_plot_equation(h, "x %d 2", "50%s");
    });
    EXPECT_EQ(t.sent, "set xlabel \"100% \"raw\" `date` %s\"\n"
                      "plot x %d 2 title \"50%s\" with points\n");
}

TEST(FunctionPlots, RefuseTextsHoldingALineBreak) {
    const auto t = run_session([](_GNUPLOT_CTRL_ *h) {
        gnuplot_set_xlabel(h, "a\n!rm -rf ~");
        gnuplot_set_ylabel(h, "\n");
        gnuplot_plot_equation(h, "x\nshell", "t");
        gnuplot_plot_equation(h, "x", "t\n");
        gnuplot_plot_slope(h, 1, 2, "\nt");
        EXPECT_EQ(h->plot_count, 0);
    });
    EXPECT_EQ(t.sent, "");
    std::string expected;
    for (int i = 0; i < 5; ++i)
        expected += "command holds a line break: not sent\n";
    EXPECT_EQ(t.errors, expected);
}

TEST(FunctionPlots, LongTitlesAreCutAtACharacterBoundary) {
    const std::string ascii(100, 't');
    const std::string accented = std::string(78, 'e') + "\xC3\xA9" + "tail"; // é spans bytes 78-79
    const std::string euro = std::string(76, 'e') + "\xE2\x82\xAC" + "!";    // € ends at byte 79
    const auto t = run_session([&](_GNUPLOT_CTRL_ *h) {
        gnuplot_plot_equation(h, "x", ascii.c_str());
        gnuplot_plot_equation(h, "x", accented.c_str());
        gnuplot_plot_equation(h, "x", euro.c_str());
    });
    EXPECT_EQ(t.sent, "plot x title \"" + ascii.substr(0, 79) + "\" with points\n" +
                          "replot x title \"" + accented.substr(0, 78) + "\" with points\n" +
                          "replot x title \"" + euro.substr(0, 79) + "\" with points\n");
}

TEST(FunctionPlots, ALineOf2046CharactersIsSentAndOneMoreIsRefused) {
    const std::string frame = "plot  title \"t\" with points";
    const std::string fits(2046 - frame.size(), 'x');
    const auto t = run_session([&](_GNUPLOT_CTRL_ *h) {
        gnuplot_plot_equation(h, (fits + "x").c_str(), "t");
        gnuplot_set_xlabel(h, std::string(2046, 'l').c_str());
        EXPECT_EQ(h->plot_count, 0);
        gnuplot_plot_equation(h, fits.c_str(), "t");
    });
    EXPECT_EQ(t.sent, "plot " + fits + " title \"t\" with points\n");
    EXPECT_EQ(t.errors, "command too long: not sent\ncommand too long: not sent\n");
}
