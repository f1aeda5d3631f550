// The C header as a whole: used from plain C (c_api_test.c), and every
// operation given a null argument.
#include <functional>
#include <regex>
#include <string>

#include <gtest/gtest.h>

#include "support.h"

extern "C" int chartlink_c_session(void);

TEST(CApi, WorksFromPlainC) {
    test::FakeGnuplot fake;
    EXPECT_EQ(chartlink_c_session(), 0);
    EXPECT_TRUE(std::regex_match(
        fake.received(),
        std::regex("set title \"from C\"\n"
                   "plot x\\*\\*2 title \"no title\" with lines\n"
                   "replot \"/tmp/chartlink-\\w{6}\" title \"pairs\" with lines\n")));
}

namespace {

std::string said(int result) {
    return std::to_string(result);
}

std::string said(const char *text) {
    return text == nullptr ? "NULL" : '"' + std::string(text) + '"';
}

} // namespace

// Every operation given a null handle, text or array returns at once: it
// sends nothing, changes nothing, makes no file and says nothing, so that
// gnuplot_last_message() is "" after it; the queries leave the message of
// the operation before them.
TEST(NullArguments, AreIgnoredWithoutAWord) {
    const double x[] = {0, 1, 2}, y[] = {0, 1}, cells[] = {0, 1, 2, 3, 4, 5};
    const double *const columns[] = {cells, cells, cells}, *const with_null[] = {cells, nullptr,
                                                                                 cells};
    double number = 42;
    const char *text = "untouched";
    const char *const labels[] = {"a", "b"};
    gnuplot_event event{};
    event.type = -1;
    _GNUPLOT_CTRL_ *h = nullptr; // the session's handle, given null texts and arrays
    const auto none = [](auto call) {
        return [call] {
            call();
            return std::string();
        };
    };
    const struct {
        const char *call;
        std::function<std::string()> run;
        std::string result;
        bool query = false;
    } rows[] = {
        {"cmd", none([] { gnuplot_cmd(nullptr, "x"); }), ""},
        {"setstyle", none([] { gnuplot_setstyle(nullptr, "lines"); }), ""},
        {"set_xlabel", none([] { gnuplot_set_xlabel(nullptr, "x"); }), ""},
        {"set_ylabel", none([] { gnuplot_set_ylabel(nullptr, "y"); }), ""},
        {"plot_equation", none([] { gnuplot_plot_equation(nullptr, "x", "t"); }), ""},
        {"plot_slope", none([] { gnuplot_plot_slope(nullptr, 1, 2, "t"); }), ""},
        {"plot_x", none([&] { gnuplot_plot_x(nullptr, x, 1, "t"); }), ""},
        {"plot_xy", none([&] { gnuplot_plot_xy(nullptr, x, y, 1, "t"); }), ""},
        {"plot_columns", none([&] { gnuplot_plot_columns(nullptr, columns, 1, 1, "t"); }), ""},
        {"plot_xy_reduced", none([&] { gnuplot_plot_xy_reduced(nullptr, x, y, 2, "t"); }), ""},
        {"splot_columns", none([&] { gnuplot_splot_columns(nullptr, columns, 3, 2, "t"); }), ""},
        {"plot_grid", none([&] { gnuplot_plot_grid(nullptr, x, y, cells, 2, 3, "t"); }), ""},
        {"splot_grid", none([&] { gnuplot_splot_grid(nullptr, x, y, cells, 2, 3, "t"); }), ""},
        {"sync", [] { return said(gnuplot_sync(nullptr, -1)); }, "-1"},
        {"last_error", [] { return said(gnuplot_last_error(nullptr)); }, "\"\"", true},
        {"save", [] { return said(gnuplot_save(nullptr, "graph.png")); }, "-1"},
        {"get_number", [&] { return said(gnuplot_get_number(nullptr, "1", &number, -1)); }, "-1"},
        {"get_text", [&] { return said(gnuplot_get_text(nullptr, "1", &text, -1)); }, "-1"},
        {"is_running", [] { return said(gnuplot_is_running(nullptr)); }, "0", true},
        {"listen", [] { return said(gnuplot_listen(nullptr, "a")); }, "-1"},
        {"next_event", [&] { return said(gnuplot_next_event(nullptr, &event, 0)); }, "-1"},
        {"wait_closed", [] { return said(gnuplot_wait_closed(nullptr, 0)); }, "-1"},
        {"plot_live", [&] { return said(gnuplot_plot_live(nullptr, x, x, 3, nullptr)); }, "-1"},
        {"set_curve_style", none([] { gnuplot_set_curve_style(nullptr, "lines"); }), ""},
        {"set_layout", none([] { gnuplot_set_layout(nullptr, 1, 2, "t"); }), ""},
        {"next_panel", none([] { gnuplot_next_panel(nullptr); }), ""},
        {"end_layout", none([] { gnuplot_end_layout(nullptr); }), ""},
        {"set_xtime", none([] { gnuplot_set_xtime(nullptr, "%H:%M"); }), ""},
        {"plot_bars", none([&] { gnuplot_plot_bars(nullptr, labels, cells, 2, "t"); }), ""},
        {"plot_histogram", none([&] { gnuplot_plot_histogram(nullptr, cells, 6, 2, "t"); }), ""},
        {"resetplot", none([] { gnuplot_resetplot(nullptr); }), ""},
        {"close", none([] { gnuplot_close(nullptr); }), ""},
        // Null texts.
        {"get_program_path", [] { return said(gnuplot_get_program_path(nullptr)); }, "NULL"},
        {"cmd: format", none([&] { gnuplot_cmd(h, nullptr); }), ""},
        {"set_xlabel: label", none([&] { gnuplot_set_xlabel(h, nullptr); }), ""},
        {"set_ylabel: label", none([&] { gnuplot_set_ylabel(h, nullptr); }), ""},
        {"plot_equation: equation", none([&] { gnuplot_plot_equation(h, nullptr, "t"); }), ""},
        {"save: file name", [&] { return said(gnuplot_save(h, nullptr)); }, "-1"},
        {"get_number: expression",
         [&] { return said(gnuplot_get_number(h, nullptr, &number, -1)); }, "-1"},
        {"get_text: expression", [&] { return said(gnuplot_get_text(h, nullptr, &text, -1)); },
         "-1"},
        // Null arrays, and the places for an answer.
        {"get_number: value", [&] { return said(gnuplot_get_number(h, "1", nullptr, -1)); }, "-1"},
        {"get_text: text", [&] { return said(gnuplot_get_text(h, "1", nullptr, -1)); }, "-1"},
        {"plot_x: x", none([&] { gnuplot_plot_x(h, nullptr, 1, "t"); }), ""},
        {"plot_xy: x", none([&] { gnuplot_plot_xy(h, nullptr, y, 1, "t"); }), ""},
        {"plot_xy: y", none([&] { gnuplot_plot_xy(h, x, nullptr, 1, "t"); }), ""},
        {"plot_columns: columns", none([&] { gnuplot_plot_columns(h, nullptr, 1, 1, "t"); }), ""},
        {"plot_columns: a column", none([&] { gnuplot_plot_columns(h, with_null, 2, 1, "t"); }),
         ""},
        {"plot_xy_reduced: x", none([&] { gnuplot_plot_xy_reduced(h, nullptr, y, 2, "t"); }), ""},
        {"plot_xy_reduced: y", none([&] { gnuplot_plot_xy_reduced(h, x, nullptr, 2, "t"); }), ""},
        {"splot_columns: columns", none([&] { gnuplot_splot_columns(h, nullptr, 3, 2, "t"); }), ""},
        {"splot_columns: a column", none([&] { gnuplot_splot_columns(h, with_null, 3, 2, "t"); }),
         ""},
        {"plot_grid: values", none([&] { gnuplot_plot_grid(h, x, y, nullptr, 2, 3, "t"); }), ""},
        {"splot_grid: values", none([&] { gnuplot_splot_grid(h, x, y, nullptr, 2, 3, "t"); }), ""},
        {"listen: names", [&] { return said(gnuplot_listen(h, nullptr)); }, "-1"},
        {"next_event: event", [&] { return said(gnuplot_next_event(h, nullptr, 0)); }, "-1"},
        {"plot_live: x", [&] { return said(gnuplot_plot_live(h, nullptr, x, 3, "t")); }, "-1"},
        {"plot_live: y", [&] { return said(gnuplot_plot_live(h, x, nullptr, 3, "t")); }, "-1"},
        {"plot_bars: labels", none([&] { gnuplot_plot_bars(h, nullptr, cells, 2, "t"); }), ""},
        {"plot_bars: values", none([&] { gnuplot_plot_bars(h, labels, nullptr, 2, "t"); }), ""},
        {"plot_histogram: values", none([&] { gnuplot_plot_histogram(h, nullptr, 6, 2, "t"); }),
         ""},
        {"plot_once: x",
         none([&] { gnuplot_plot_once("t", nullptr, nullptr, nullptr, nullptr, y, 2); }), ""},
    };
    const std::string too_long(3000, 'x');
    const auto mark = test::files_made().size();
    const auto t = test::run_session([&](_GNUPLOT_CTRL_ *session) {
        h = session;
        for (const auto &row : rows) {
            {
                test::Capture quiet(2);
                gnuplot_cmd(h, "%s", too_long.c_str()); // a message for the row's call to clear
            }
            test::Capture out(1), errors(2);
            const std::string result = row.run(), message = gnuplot_last_message();
            const int refused = gnuplot_last_refused();
            EXPECT_EQ(out.text() + errors.text(), "") << row.call;
            EXPECT_EQ(result, row.result) << row.call;
            EXPECT_EQ(message, row.query ? "command too long: not sent" : "") << row.call;
            EXPECT_EQ(refused, row.query ? 1 : 0) << row.call;
        }
        EXPECT_STREQ(h->style, "points");
        EXPECT_EQ(h->plot_count, 0);
        EXPECT_EQ(h->temp_file_count, 0);
    });
    EXPECT_EQ(t.sent, "");
    EXPECT_EQ(t.errors, "");
    EXPECT_EQ(test::files_made().size(), mark);
    EXPECT_EQ(number, 42);
    EXPECT_STREQ(text, "untouched");
    EXPECT_EQ(event.type, -1);
}
