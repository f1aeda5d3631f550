// Syncs and saves: refusals against the fake, the rest through the real gnuplot.
#include <chrono>
#include <cstring>
#include <regex>
#include <string>

#include <gtest/gtest.h>

#include "support.h"

using std::chrono::milliseconds;
using std::chrono::steady_clock;

namespace {

milliseconds since(steady_clock::time_point start) {
    return std::chrono::duration_cast<milliseconds>(steady_clock::now() - start);
}

// A handle on the real gnuplot, closed at the end of the scope.
struct RealGnuplot {
    _GNUPLOT_CTRL_ *handle = gnuplot_init();
    ~RealGnuplot() { gnuplot_close(handle); }
};

} // namespace

TEST(Save, RefusesWhatItCannotNameOrWriteAndSendsNothing) {
    const struct {
        const char *file_name;
        const char *message;
    } cases[] = {
        {nullptr, ""},
        {"graph.gif", "cannot tell the image format from the file name: not saved\n"},
        {"png", "cannot tell the image format from the file name: not saved\n"},
        {"two\nlines.svg", "file name holds a line break: not saved\n"},
    };
    EXPECT_EQ(gnuplot_save(nullptr, "graph.png"), -1);
    EXPECT_EQ(gnuplot_sync(nullptr, -1), -1);
    EXPECT_STREQ(gnuplot_last_error(nullptr), "");
    for (const auto &c : cases) {
        const auto t = test::run_session([&](_GNUPLOT_CTRL_ *h) {
            EXPECT_EQ(gnuplot_save(h, c.file_name), -1);
            EXPECT_STREQ(gnuplot_last_error(h), "");
        });
        EXPECT_EQ(t.sent, "");
        EXPECT_EQ(t.errors, c.message);
    }
}

TEST(Save, SendsItsLinesThenASync) {
    const auto t = test::run_session([](_GNUPLOT_CTRL_ *h) {
        EXPECT_EQ(gnuplot_save(h, "it's `here`.PDF"), 0);
        EXPECT_EQ(gnuplot_sync(h, 1000), 0);
    });
    const std::string record = "print \"(chartlink_[0-9a-f]{16}):#:K:\" \\. GPVAL_ERRMSG \\. "
                               "\"\\1;#\"; reset errors";
    const auto numbered = [&](const char *number, const char *kind) {
        return std::regex_replace(std::regex_replace(record, std::regex("#"), number),
                                  std::regex("K"), kind);
    };
    const auto request = [&](const char *number, const std::string &between) {
        return "\nset print \"/dev/fd/3\"; " + numbered(number, "E") + "\n" + between +
               numbered(number, "R") + "; unset print\n";
    };
    EXPECT_TRUE(std::regex_match(
        t.sent, std::regex(request("1", "set terminal push\nset terminal pdfcairo\n"
                                        "if \\(exists\\(\"GPVAL_LAST_PLOT\"\\)\\) \\{set output "
                                        "'./it' \\. \"'\" \\. 's `here`.PDF'; replot\\} "
                                        "else \\{replot\\}\nunset output\nset terminal pop\n") +
                           request("2", ""))))
        << t.sent;
}

TEST(Sync, ReportsGnuplotsErrorOnceAndNoticesItsEnd) {
    RealGnuplot gnuplot;
    _GNUPLOT_CTRL_ *h = gnuplot.handle;
    ASSERT_NE(h, nullptr);
    test::Capture errors(2);
    gnuplot_cmd(h, "set xrange [0:1]");
    EXPECT_EQ(gnuplot_sync(h, -1), 0);
    gnuplot_cmd(h, "plot sinn(x)");
    EXPECT_EQ(gnuplot_sync(h, -1), 1);
    EXPECT_NE(std::string(gnuplot_last_error(h)).find("undefined function: sinn"),
              std::string::npos);
    EXPECT_EQ(gnuplot_sync(h, -1), 0);
    EXPECT_STREQ(gnuplot_last_error(h), "");

    gnuplot_cmd(h, "pause 3");
    const auto start = steady_clock::now();
    EXPECT_EQ(gnuplot_sync(h, 200), -1);
    EXPECT_GE(since(start), milliseconds(200));
    EXPECT_LT(since(start), milliseconds(2500)) << "waited for the pause";
    EXPECT_EQ(gnuplot_sync(h, -1), 0); // not satisfied by the late answer

    gnuplot_cmd(h, "exit");
    EXPECT_EQ(gnuplot_sync(h, -1), -1);
    const std::string said = errors.text();
    EXPECT_NE(said.find("gnuplot did not answer in time\n"), std::string::npos);
    EXPECT_NE(said.find("gnuplot has ended: cannot sync\n"), std::string::npos);
}

TEST(Save, WritesCompleteFilesBeforeCloseAndKeepsTheCallersTerminal) {
    test::TempDir dir;
    RealGnuplot gnuplot;
    _GNUPLOT_CTRL_ *h = gnuplot.handle;
    ASSERT_NE(h, nullptr);
    gnuplot_cmd(h, "set terminal png size 320,240");
    gnuplot_plot_equation(h, "sin(x)", "sine");
    const struct {
        const char *name;
        const char *ending;
    } files[] = {
        {"/a.png", "IEND\xae\x42\x60\x82"}, {"/a.svg", "</svg>\n\n"}, {"/a.pdf", "%%EOF\n"}};
    for (const auto &file : files) {
        const std::string path = dir.path() + file.name;
        EXPECT_EQ(gnuplot_save(h, path.c_str()), 0) << gnuplot_last_error(h);
        const std::string saved = test::read_file(path);
        EXPECT_EQ(saved.substr(saved.size() - std::strlen(file.ending)), file.ending) << path;
    }
    EXPECT_EQ(test::png_iend_count(dir.path() + "/a.png"), 1);
    gnuplot_cmd(h, "set output \"%s/after.png\"", dir.path().c_str());
    gnuplot_cmd(h, "replot");
    EXPECT_EQ(gnuplot_sync(h, -1), 0);
    EXPECT_EQ(test::png_size(dir.path() + "/after.png"), std::make_pair(320U, 240U));
}
