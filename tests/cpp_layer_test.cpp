#include <array>
#include <chrono>
#include <functional>
#include <initializer_list>
#include <regex>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include <poll.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "chartlink.hpp"
#include "support.h"

TEST(CppLayer, ChainsCallsIntoTheLinesTheCApiSends) {
    test::FakeGnuplot fake;
    {
        chartlink::Gnuplot plot;
        plot.send("set title \"50% done\"")
            .style("lines")
            .xlabel("t")
            .ylabel("v")
            .plot_equation("sin(x)")
            .plot_slope(2, 0.5, "line")
            .reset()
            .plot_equation("x", "again");
        plot.sync();
    }
    EXPECT_TRUE(std::regex_match(fake.received(),
                                 std::regex("set title \"50% done\"\n"
                                            "set xlabel \"t\"\nset ylabel \"v\"\n"
                                            "plot sin\\(x\\) title \"no title\" with lines\n"
                                            "replot 2 \\* x \\+ 0.5 title \"line\" with lines\n"
                                            "plot x title \"again\" with lines\n"
                                            "\nset print .*\n")));
}

namespace {

std::string doubles(std::initializer_list<double> values) {
    return {reinterpret_cast<const char *>(values.begin()), values.size() * sizeof(double)};
}

// Every other element of an array, as a matrix row with a stride offers
// them: data() and size() do not describe it.
struct Strided {
    const double *first;
    std::size_t count;
    const double *data() const { return first; }
    std::size_t size() const { return count; }
    struct iterator {
        const double *at;
        const double &operator*() const { return *at; }
        iterator &operator++() {
            at += 2;
            return *this;
        }
        bool operator!=(const iterator &other) const { return at != other.at; }
    };
    iterator begin() const { return {first}; }
    iterator end() const { return {first + 2 * count}; }
};

} // namespace

TEST(CppLayer, TakesAnyRangeOfNumbersAsTheSameData) {
    test::FakeGnuplot fake("copy");
    const double every_other[] = {0.5, 9, 2, 9, -3, 9};
    const std::vector<double> vector{0.5, 2, -3};
    const std::array<double, 3> array{0.5, 2, -3};
    const double c_array[] = {0.5, 2, -3};
    const std::vector<float> floats{0.5F, 2, -3};
    const std::vector<int> ints{0, 1, 2, 3};
    const chartlink::Values kept(std::vector<double>{0.5, 2, -3}); // outlives the temporary
    const chartlink::Grid grid(ints, 2);                           // outlives its conversion
    const auto epoch = std::chrono::system_clock::time_point();
    const std::vector<std::chrono::system_clock::time_point> times{
        epoch + std::chrono::milliseconds(1700000000250), epoch + std::chrono::seconds(1700000001),
        epoch + std::chrono::seconds(1700000002)};
    const std::vector<std::tuple<int, double, float>> tuples{
        {0, 0.5, 0.5F}, {1, 2, 2}, {2, -3, -3}};
    const std::vector<std::array<double, 3>> arrays{{0, 0.5, 0.5}, {1, 2, 2}, {2, -3, -3}};
    const std::vector<const char *> labels{"a", nullptr, "c"};
    {
        chartlink::Gnuplot plot;
        plot.plot(vector).plot(array).plot(c_array, "c").plot(floats).plot(vector, floats);
        plot.plot_columns({vector, floats});
        plot.plot(Strided{every_other, 3});
        plot.plot(kept).grid(grid).grid({std::vector<int>{0, 1}, std::array<float, 2>{0, 1}, ints});
        plot.reset().splot_grid(std::vector<std::vector<int>>{{0, 1}, {2, 3}});
        plot.splot_columns({ints, ints, ints});
        plot.reset().style("lines").plot_reduced(vector, floats); // the stand-in tells no plot area
        plot.reset().plot_columns(
            std::vector<std::pair<double, float>>{{0.5, 0.5F}, {2, 2}, {-3, -3}});
        plot.xtime("%H:%M").plot(times, vector).xtime(std::nullopt);
        plot.layout(1, 2, "figure").curve_style("lines lw 2").plot_columns(tuples).next_panel();
        plot.plot_columns(arrays).curve_style("").end_layout();
        plot.bars(labels, vector).histogram(ints, 2, "h");
        plot.bars(std::array<std::string_view, 1>{"x"}, std::vector<int>{1});
    }
    for (int copy = 1; copy <= 4; ++copy)
        EXPECT_EQ(fake.data_copy(copy), "0.5\n2\n-3\n") << copy;
    EXPECT_EQ(fake.data_copy(5), "0.5 0.5\n2 2\n-3 -3\n");
    EXPECT_EQ(fake.data_copy(6).size(), 6 * sizeof(double));
    EXPECT_EQ(fake.data_copy(7), "0.5\n2\n-3\n");
    EXPECT_EQ(fake.data_copy(8), "0.5\n2\n-3\n");
    EXPECT_EQ(fake.data_copy(9), doubles({0, 1, 2, 3}));
    const std::string points = doubles({0, 0, 0, 1, 0, 1, 0, 1, 2, 1, 1, 3}); // x, y, value
    EXPECT_EQ(fake.data_copy(10), points);
    EXPECT_EQ(fake.data_copy(11), points);
    EXPECT_EQ(fake.data_copy(12), doubles({0, 0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3}));
    EXPECT_EQ(fake.data_copy(13), fake.data_copy(6));
    EXPECT_EQ(fake.data_copy(14), fake.data_copy(6)) << "pairs as two columns";
    EXPECT_EQ(fake.data_copy(15), "1700000000.25 0.5\n1700000001 2\n1700000002 -3\n");
    EXPECT_EQ(fake.data_copy(16), doubles({0, 0.5, 0.5, 1, 2, 2, 2, -3, -3})) << "tuples";
    EXPECT_EQ(fake.data_copy(17), fake.data_copy(16)) << "arrays";
    EXPECT_EQ(fake.data_copy(18),
              doubles({0, 0.5, -0.4, 0.4, 0, 0.5, 1, 2, 0.6, 1.4, 0, 2, 2, -3, 1.6, 2.4, 0, -3}));
    EXPECT_EQ(fake.data_copy(19), doubles({0.75, 2, 0, 1.5, 0, 2, 2.25, 2, 1.5, 3, 0, 2}));
    EXPECT_NE(fake.received().find("_0[1]='a';c"), std::string::npos);
    EXPECT_NE(fake.received().find("_0[2]='';c"), std::string::npos) << "a null label";
}

TEST(CppLayer, ThrowsForWhatTheCApiRefusesAndForUnequalLengths) {
    test::FakeGnuplot fake;
    const auto mark = test::files_made().size();
    {
        test::Capture errors(2);
        chartlink::Gnuplot plot;
        const std::vector<double> three{1, 2, 3}, two{1, 2};
        const std::pair<std::function<void()>, const char *> calls[] = {
            {[&] { plot.plot(three, two); }, "chartlink: x and y differ in length"},
            {[&] {
                 plot.plot_columns({three, two});
             },
             "chartlink: columns differ in length"},
            {[&] { plot.send(std::string(3000, 'x')); }, "chartlink: command too long: not sent"},
            {[&] { plot.xlabel("two\nlines"); }, "chartlink: command holds a line break: not sent"},
            {[&] { plot.plot(three, "two\nlines"); },
             "chartlink: command holds a line break: not sent"},
            {[&] { plot.plot(three, std::string("a\0b", 3)); }, "chartlink: text holds a NUL byte"},
            {[&] {
                 plot.grid({three, two, std::vector<double>{1, 2, 3, 4}});
             },
             "chartlink: x and y differ from the grid in length"},
            {[&] {
                 plot.grid({two, 2});
             },
             "chartlink: a grid needs at least 2 rows and 2 columns: plot not sent"},
            {[&] { plot.bars(std::vector<std::string>{"a"}, two); },
             "chartlink: labels and values differ in length"},
            {[&] { plot.bars(std::vector<std::string>{"a\nb"}, std::vector<double>{1}); },
             "chartlink: bar label holds a line break: plot not sent"},
            {[&] { plot.curve_style("lines\r"); },
             "chartlink: curve style holds a line break: not set"},
            {[&] { plot.layout(0, 1); },
             "chartlink: a layout needs at least 1 row and 1 column: not started"},
            {[&] { plot.end_layout(); }, "chartlink: no figure is being laid out: not ended"},
        };
        for (const auto &[call, message] : calls) {
            try {
                call();
                ADD_FAILURE() << "plotted: " << message;
            } catch (const chartlink::Error &error) {
                EXPECT_STREQ(error.what(), message);
            }
        }
        EXPECT_EQ(errors.text(), "command too long: not sent\n"
                                 "command holds a line break: not sent\n"
                                 "command holds a line break: not sent\n"
                                 "a grid needs at least 2 rows and 2 columns: plot not sent\n"
                                 "bar label holds a line break: plot not sent\n"
                                 "curve style holds a line break: not set\n"
                                 "a layout needs at least 1 row and 1 column: not started\n"
                                 "no figure is being laid out: not ended\n");
    }
    EXPECT_EQ(fake.received(), "");
    EXPECT_EQ(test::files_made().size(), mark);
}

TEST(CppLayer, AMovedFromObjectClosesNothing) {
    test::FakeGnuplot fake;
    chartlink::Gnuplot first;
    chartlink::Gnuplot second(std::move(first));
    EXPECT_EQ(first.handle(), nullptr);
    EXPECT_THROW(first.send("x"), chartlink::Error);
    EXPECT_THROW(first.plot(std::vector<double>{}), chartlink::Error);
    chartlink::Gnuplot third;
    third = std::move(second);
    EXPECT_NE(third.handle(), nullptr);
}

TEST(CppLayer, SaveThrowsGnuplotsMessageWhenNothingWasPlotted) {
    test::TempDir dir;
    chartlink::Gnuplot plot;
    EXPECT_EQ(plot.get_number("1.0/3"), 1.0 / 3);
    EXPECT_EQ(plot.get_text("'a' . 'b'", std::chrono::milliseconds(5000)), "ab");
    EXPECT_THROW(plot.get_number("sinn(1)"), chartlink::Error);
    plot.send("pause 0.5");
    EXPECT_THROW(plot.sync(std::chrono::milliseconds(1)), chartlink::Error);
    plot.style("no such style"); // a warning: no reason for what follows
    try {
        plot.sync(std::chrono::milliseconds(0));
        FAIL() << "answered";
    } catch (const chartlink::Error &error) {
        EXPECT_STREQ(error.what(), "chartlink: gnuplot has not answered yet");
    }
    EXPECT_EQ(plot.get_number("7", std::chrono::milliseconds(-1)), 7) << "a negative limit waits";
    try {
        plot.get_number("1\n2");
        FAIL() << "sent";
    } catch (const chartlink::Error &error) {
        EXPECT_STREQ(error.what(), "chartlink: command holds a line break: not sent");
    }
    try {
        plot.save(dir.path() + "/nothing.png");
        FAIL() << "saved";
    } catch (const chartlink::Error &error) {
        EXPECT_NE(std::string(error.what()).find("no previous plot"), std::string::npos)
            << error.what();
    }
}

TEST(CppLayer, SaysSoWhenGnuplotHasEnded) {
    test::FakeGnuplot fake("exit");
    chartlink::Gnuplot plot;
    {
        test::Capture errors(2);
        EXPECT_EQ(gnuplot_sync(plot.handle(), 10000), -1); // returns once it has gone
    }
    // Its standard input may outlive its answers by a moment.
    pollfd input{fileno(plot.handle()->command_stream), 0, 0};
    for (int tries = 0; tries < 1000 && poll(&input, 1, 0) == 0; ++tries)
        usleep(10000);
    const std::vector<double> values{1, 2};
    for (const auto &call : std::vector<std::function<void()>>{
             [&] { plot.plot(values); }, [&] { plot.plot_equation("x"); },
             [&] { plot.plot_slope(1, 2); }, [&] { plot.plot_columns({values}); }}) {
        try {
            test::Capture errors(2);
            call();
            ADD_FAILURE() << "no exception";
        } catch (const chartlink::Error &error) {
            EXPECT_STREQ(error.what(), "chartlink: gnuplot has ended");
        }
    }
}
