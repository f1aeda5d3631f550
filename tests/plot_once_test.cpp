#include <cstdio>
#include <regex>
#include <string>

#include <fcntl.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "support.h"

namespace {

const double xs[] = {0.5, 2};
const double ys[] = {-1, 1e-05};

struct Outcome {
    std::string sent; // data file names replaced by FILE
    std::string data; // the data file as gnuplot saw it
    std::string out;
    std::string errors;
    std::string input_left;
};

// Runs one gnuplot_plot_once in a child whose standard input is `input`.
Outcome plot_once(const std::string &input, const std::function<void()> &call,
                  bool gnuplot_present = true) {
    test::FakeGnuplot fake("copy");
    test::TempDir files;
    const std::string in = files.path() + "/in", left = files.path() + "/left";
    test::write_file(in, input);
    std::optional<test::ScopedEnv> no_gnuplot;
    if (!gnuplot_present)
        no_gnuplot.emplace("PATH", files.path());
    test::Capture out(1), errors(2);
    test::run_in_child([&] {
        const int fd = open(in.c_str(), O_RDONLY);
        dup2(fd, 0);
        call();
        std::string rest;
        for (int c; (c = std::getchar()) != EOF;)
            rest += static_cast<char>(c);
        test::write_file(left, rest);
        return 0;
    });
    const std::regex name("/tmp/chartlink-[A-Za-z0-9]{6}");
    return {std::regex_replace(fake.received(), name, "FILE"), fake.data_copy(1), out.text(),
            errors.text(), test::read_file(left)};
}

} // namespace

TEST(PlotOnce, DefaultsToLinesAndTheLabelsXAndY) {
    const auto mark = test::files_made().size();
    const auto o = plot_once(
        "\n", [] { gnuplot_plot_once(nullptr, nullptr, nullptr, nullptr, xs, nullptr, 2); });
    EXPECT_EQ(o.sent, "set xlabel \"X\"\nset ylabel \"Y\"\nplot \"FILE\" with lines\n");
    EXPECT_EQ(o.data, "0.5\n2\n");
    EXPECT_EQ(o.out, "press ENTER to continue\n");
    EXPECT_EQ(o.errors, "");
    EXPECT_EQ(test::left_behind(mark), std::vector<std::string>{});
}

TEST(PlotOnce, PlotsPairsWithEverythingGiven) {
    const auto o =
        plot_once("\n", [] { gnuplot_plot_once("volts", "steps", "time", "level", xs, ys, 2); });
    EXPECT_EQ(o.sent, "set xlabel \"time\"\nset ylabel \"level\"\n"
                      "plot \"FILE\" title \"volts\" with steps\n");
    EXPECT_EQ(o.data, "0.5 -1\n2 1e-05\n");
}

TEST(PlotOnce, WarnsOfAnUnknownStyleAndUsesPoints) {
    const auto o =
        plot_once("\n", [] { gnuplot_plot_once("t", "Lines", "a", "b", xs, nullptr, 1); });
    EXPECT_EQ(o.errors, "warning: unknown requested style: using points\n");
    EXPECT_EQ(o.sent,
              "set xlabel \"a\"\nset ylabel \"b\"\nplot \"FILE\" title \"t\" with points\n");
}

TEST(PlotOnce, ConsumesInputUpToTheFirstNewlineOrItsEnd) {
    const struct {
        const char *input;
        const char *left;
    } cases[] = {{"abc\nrest\n", "rest\n"}, {"\n\n", "\n"}, {"no newline", ""}, {"", ""}};
    for (const auto &c : cases) {
        const auto o = plot_once(
            c.input, [] { gnuplot_plot_once(nullptr, nullptr, nullptr, nullptr, xs, ys, 2); });
        EXPECT_EQ(o.input_left, c.left) << c.input;
        EXPECT_EQ(o.out, "press ENTER to continue\n");
    }
}

TEST(PlotOnce, ASignalDuringTheWaitDoesNotEndIt) {
    test::FakeGnuplot fake;
    int input[2], handled[2];
    ASSERT_EQ(pipe(input), 0);
    ASSERT_EQ(pipe(handled), 0);
    test::Capture out(1);
    const pid_t child = fork();
    if (child == 0) {
        dup2(input[0], 0);
        close(input[1]);
        static int tell_fd = handled[1];
        struct sigaction interrupt {};
        interrupt.sa_handler = [](int) { (void)!write(tell_fd, "s", 1); };
        sigaction(SIGALRM, &interrupt, nullptr); // no SA_RESTART: read fails with EINTR
        gnuplot_plot_once(nullptr, nullptr, nullptr, nullptr, xs, nullptr, 2);
        _exit(std::getchar() == 'z' ? 0 : 1);
    }
    close(input[0]);
    // The signal comes while the wait is reading its standard input.
    const std::string reading = std::to_string(SYS_read) + " 0x0 ";
    const std::string syscall = "/proc/" + std::to_string(child) + "/syscall";
    while (test::read_file(syscall).rfind(reading, 0) != 0)
        usleep(1000);
    kill(child, SIGALRM);
    char signalled;
    ASSERT_EQ(read(handled[0], &signalled, 1), 1);
    ASSERT_EQ(write(input[1], "\nz", 2), 2);
    close(input[1]);
    int status = -1;
    waitpid(child, &status, 0);
    EXPECT_EQ(status, 0);
}

TEST(PlotOnce, StartsNothingWithoutDataOrWithoutGnuplot) {
    const auto no_data =
        plot_once("typed\n", [] { gnuplot_plot_once("t", nullptr, nullptr, nullptr, xs, ys, 0); });
    const auto no_gnuplot = plot_once(
        "typed\n", [] { gnuplot_plot_once("t", nullptr, nullptr, nullptr, xs, ys, 2); }, false);
    EXPECT_EQ(no_data.errors, "");
    EXPECT_EQ(no_gnuplot.errors, "cannot find gnuplot in your PATH");
    for (const auto &o : {no_data, no_gnuplot}) {
        EXPECT_EQ(o.sent, "");
        EXPECT_EQ(o.out, "");
        EXPECT_EQ(o.input_left, "typed\n");
    }
}
