// The data-file table: at most 64 per handle, retired once gnuplot has read
// them, removed at close, and none left by a plot that fails.
#include <algorithm>
#include <climits>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "support.h"

using test::other;
using test::run_session;
using test::value_count;
using test::values;

namespace {

int count_lines(const std::string &text, const char *verb) {
    const std::regex plot(std::string(verb) + " \"/tmp/chartlink-[A-Za-z0-9]{6}\"" +
                          "( binary format=\"%float64\" using 0:1)? with points");
    std::istringstream lines(text);
    int count = 0;
    for (std::string line; std::getline(lines, line);)
        count += std::regex_match(line, plot);
    return count;
}

} // namespace

TEST(DataFiles, SixtyFourFilesPerHandleUntilAReset) {
    const auto mark = test::files_made().size();
    const auto t = run_session([&](_GNUPLOT_CTRL_ *h) {
        const double *const column[] = {values};
        for (int round = 1; round <= 2; ++round) {
            for (int i = 0; i < 64; ++i) // text and binary files share the table
                i % 2 ? gnuplot_plot_x(h, values, 1, nullptr)
                      : gnuplot_plot_columns(h, column, 1, 1, nullptr);
            test::Capture errors(2);
            round == 1 ? gnuplot_plot_x(h, values, 1, nullptr)
                       : gnuplot_plot_columns(h, column, 1, 1, nullptr);
            EXPECT_EQ(errors.text(), "maximum # of temporary files reached (64): cannot open more");
            EXPECT_EQ(h->temp_file_count, 64);
            EXPECT_EQ(h->plot_count, 64);
            gnuplot_resetplot(h);
            EXPECT_EQ(h->temp_file_count, 0);
            EXPECT_EQ(h->plot_count, 0);
            EXPECT_EQ(test::left_behind(mark).size(),
                      64U * static_cast<unsigned>(round)); // the fake removes none
        }
        gnuplot_resetplot(h); // no files: only the counts
        gnuplot_plot_x(h, values, 1, nullptr);
    });
    EXPECT_EQ(count_lines(t.sent, "plot"), 3);
    EXPECT_EQ(count_lines(t.sent, "replot"), 2 * 63);
    EXPECT_EQ(std::regex_replace(t.sent, std::regex("(re)?plot .*\n| '/tmp/chartlink-\\w+'"), ""),
              "!rm -f\n"); // the first graph's files, once the second replaced it
    EXPECT_EQ(test::left_behind(mark), std::vector<std::string>{});
}

// gnuplot busy or stuck: its pipe full, it never reads nor answers.
TEST(DataFiles, AResetNeverWaitsForGnuplotAndCloseLeavesNothing) {
    test::FakeGnuplot deaf("deaf");
    const auto mark = test::files_made().size();
    test::Capture errors(2);
    _GNUPLOT_CTRL_ *handle = gnuplot_init();
    gnuplot_plot_x(handle, values, value_count, nullptr);
    const int fd = fileno(handle->command_stream);
    fcntl(fd, F_SETFL, O_NONBLOCK);
    while (write(fd, "\n", 1) == 1) {
    }
    fcntl(fd, F_SETFL, 0);
    gnuplot_resetplot(handle);
    EXPECT_EQ(handle->plot_count, 0);
    std::fputs("set xrange [0:1]\n", handle->command_stream); // left buffered: no room
    EXPECT_EQ(gnuplot_sync(handle, 100), -1);
    EXPECT_FALSE(test::file_exists(deaf.log())) << "returned only once the stand-in had ended";
    test::write_file(deaf.log() + ".free", "");
    gnuplot_close(handle);
    EXPECT_EQ(errors.text(), "gnuplot did not answer in time\n");
    EXPECT_EQ(test::left_behind(mark), std::vector<std::string>{});
}

TEST(DataFiles, ARefusedCommandLeavesNoFileBehind) {
    const std::string frame = "plot \"/tmp/chartlink-XXXXXX\" title \"\" with points";
    const std::string fits(2046 - frame.size(), 't');
    const auto mark = test::files_made().size();
    const auto t = run_session([&](_GNUPLOT_CTRL_ *h) {
        gnuplot_plot_x(h, values, 1, (fits + "t").c_str());
        gnuplot_plot_xy(h, values, other, 1, "two\nlines");
        EXPECT_EQ(h->temp_file_count, 0);
        EXPECT_EQ(h->plot_count, 0);
        EXPECT_EQ(test::files_made().size(), mark);
        gnuplot_plot_x(h, values, 1, fits.c_str());
        EXPECT_EQ(h->temp_file_count, 1);
    });
    EXPECT_EQ(t.errors, "command too long: not sent\ncommand holds a line break: not sent\n");
    EXPECT_EQ(t.sent.size(), 2047U);
}

// Failures the file system inflicts, each in a child process of its own.
TEST(DataFiles, AFileThatCannotBeMadeOrWrittenSendsNothingAndLeavesNothing) {
    const struct {
        const char *what;
        int resource;
        int count;
        const char *message;
    } cases[] = {
        {"file too large", RLIMIT_FSIZE, 100000, "cannot write temporary file: plot not sent\n"},
        {"no descriptor left", RLIMIT_NOFILE, 100000, "cannot create temporary file: exiting plot"},
        {"columns of INT_MAX rows", RLIMIT_FSIZE, INT_MAX,
         "cannot write temporary file: plot not sent\n"},
    };
    // Untouched pages of zeros: as many values as an int can count, in no memory.
    const std::size_t most = std::size_t{INT_MAX} * sizeof(double);
    void *zeros =
        mmap(nullptr, most, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    ASSERT_NE(zeros, MAP_FAILED);
    const auto *many = static_cast<const double *>(zeros);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        test::FakeGnuplot fake;
        const auto mark = test::files_made().size();
        test::Capture errors(2);
        const int status = test::run_in_child([&] {
            _GNUPLOT_CTRL_ *handle = gnuplot_init();
            gnuplot_plot_x(handle, many, 1, "kept"); // and SIGXFSZ left to kill the caller
            const rlimit limit{c.resource == RLIMIT_FSIZE ? 4096UL : 0UL, 4096};
            setrlimit(c.resource, &limit);
            const double *const pair[] = {many, many};
            c.count == INT_MAX ? gnuplot_plot_columns(handle, pair, 1, c.count, "lost")
                               : gnuplot_plot_xy(handle, many, many, c.count, "lost");
            const bool unchanged = handle->temp_file_count == 1 && handle->plot_count == 1;
            gnuplot_close(handle);
            return unchanged ? 0 : 1;
        });
        EXPECT_EQ(status, 0);
        EXPECT_EQ(errors.text(), c.message);
        EXPECT_EQ(fake.received().find("lost"), std::string::npos);
        EXPECT_EQ(test::left_behind(mark), std::vector<std::string>{});
    }
    munmap(zeros, most);
}

// The graph on screen keeps its files; a replaced graph's go after an
// answer, by the library, or, with no answer, to gnuplot in batches.
TEST(DataFiles, ReplacedGraphsFilesGoAfterAnAnswerOrInBatches) {
    const auto mark = test::files_made().size();
    const auto t = run_session([&](_GNUPLOT_CTRL_ *h) {
        for (int frame = 0; frame < 20; ++frame) {
            gnuplot_plot_x(h, values, value_count, nullptr);
            gnuplot_resetplot(h);
            EXPECT_EQ(gnuplot_sync(h, 5000), 0);
            EXPECT_EQ(test::left_behind(mark).size(), 1U) << "frame " << frame;
        }
        for (int frame = 0; frame < 17; ++frame) {
            gnuplot_plot_x(h, values, value_count, nullptr);
            gnuplot_resetplot(h);
        }
    });
    EXPECT_TRUE(std::regex_search(t.sent, std::regex("!rm -f( '/tmp/chartlink-\\w{6}'){16}\n")))
        << t.sent;
    EXPECT_EQ(std::count(t.sent.begin(), t.sent.end(), '!'), 1);
    EXPECT_EQ(test::left_behind(mark), std::vector<std::string>{});
}

// Animation frames: each reset hands its data file to gnuplot, which must
// still read it for the frame before removing it.
TEST(DataFiles, EveryFrameOfAResetLoopIsDrawnAndNoDataFileIsLeft) {
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

// A window re-reads the data to zoom, as a replot does, after a reset too.
TEST(DataFiles, TheGraphOnScreenCanBeDrawnAgainAfterAReset) {
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
