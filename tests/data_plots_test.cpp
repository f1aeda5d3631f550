#include <algorithm>
#include <cmath>
#include <csignal>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <climits>

#include <fcntl.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "support.h"

using test::run_session;

namespace {

const double values[] = {0.5, 2.0, -3.0, 1e-05, 1234567.0, 1733600000.5, std::nan("")};
const double other[] = {-0.25, 100000, 1.0 / 3, 7, 0, 1e300, -2};
constexpr int value_count = 7;

std::string file_of(const _GNUPLOT_CTRL_ *handle, int slot) {
    return handle->temp_files[slot];
}

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
        gnuplot_plot_x(h, nullptr, 1, "t");
        gnuplot_plot_xy(h, nullptr, other, 1, "t");
        gnuplot_plot_xy(h, values, nullptr, 1, "t");
        gnuplot_plot_xy(h, values, other, 0, "t");
        EXPECT_EQ(h->temp_file_count, 0);
        EXPECT_EQ(h->plot_count, 0);
        EXPECT_EQ(test::files_made().size(), mark);
    });
    EXPECT_EQ(t.sent, "");
    EXPECT_EQ(t.errors, "");
}

TEST(DataPlots, SixtyFourFilesPerHandleUntilAReset) {
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
TEST(DataPlots, AResetNeverWaitsForGnuplotAndCloseLeavesNothing) {
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

TEST(DataPlots, ARefusedCommandLeavesNoFileBehind) {
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
TEST(DataPlots, AFileThatCannotBeMadeOrWrittenSendsNothingAndLeavesNothing) {
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

TEST(Close, AFailedWaitIsReportedAndStillRemovesTheFiles) {
    test::FakeGnuplot fake;
    const auto mark = test::files_made().size();
    test::Capture errors(2);
    const int status = test::run_in_child([] {
        signal(SIGCHLD, SIG_IGN); // the system reaps gnuplot, so pclose cannot
        _GNUPLOT_CTRL_ *handle = gnuplot_init();
        gnuplot_plot_x(handle, values, value_count, nullptr);
        gnuplot_close(handle);
        return 0;
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(errors.text(), "problem closing communication to gnuplot\n");
    EXPECT_EQ(test::left_behind(mark), std::vector<std::string>{});
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
    const double *const with_null[] = {values, nullptr};
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
        gnuplot_plot_columns(nullptr, columns, 1, 1, "t");
        gnuplot_plot_columns(h, nullptr, 1, 1, "t");
        gnuplot_plot_columns(h, with_null, 2, 1, "t");
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

// A forked worker that closes the handle it inherited (as exit() does for a
// C++ object) leaves gnuplot and the data files to the process that opened it.
TEST(Close, InAForkedChildLeavesTheOpenersGnuplotAndFiles) {
    run_session([](_GNUPLOT_CTRL_ *h) {
        gnuplot_plot_x(h, values, value_count, nullptr);
        const std::string file = file_of(h, 0);
        EXPECT_EQ(test::run_in_child([h] {
                      gnuplot_close(h);
                      return 0;
                  }),
                  0);
        EXPECT_TRUE(test::file_exists(file));
        EXPECT_EQ(gnuplot_sync(h, 5000), 0);
    });
}

// The graph on screen keeps its files; a replaced graph's go after an
// answer, by the library, or, with no answer, to gnuplot in batches.
TEST(DataPlots, ReplacedGraphsFilesGoAfterAnAnswerOrInBatches) {
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

TEST(DataPlots, GridsAndThreeDSendTheirLayoutsAndRefuseWhatCannotBeDrawn) {
    const double x[] = {0, 1, 2}, uneven[] = {0, 1, 3}, y[] = {0, 1}, inf_x[] = {0, 1, INFINITY},
                 nan_y[] = {0, NAN}, huge_x[] = {-1.5e308, 0, 1.7e308};
    const double *const three[] = {values, other, values}, *const with_null[] = {values, nullptr,
                                                                                 values};
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
        gnuplot_splot_columns(nullptr, three, 3, 2, "t");
        gnuplot_splot_columns(h, nullptr, 3, 2, "t");
        gnuplot_splot_columns(h, with_null, 3, 2, "t");
        gnuplot_splot_columns(h, three, 3, 0, "t");
        gnuplot_plot_grid(nullptr, x, y, values, 2, 3, "t");
        gnuplot_plot_grid(h, x, y, nullptr, 2, 3, "t");
        gnuplot_splot_grid(h, x, y, values, 0, 3, "t");
        gnuplot_splot_grid(h, x, y, values, 2, -1, "t");
        gnuplot_plot_xy_reduced(nullptr, x, y, 2, "t");
        gnuplot_plot_xy_reduced(h, x, nullptr, 2, "t");
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
