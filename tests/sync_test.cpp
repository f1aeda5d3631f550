// gnuplot_sync and gnuplot_last_error, through the real gnuplot.
#include <chrono>
#include <string>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "support.h"

using std::chrono::milliseconds;
using std::chrono::steady_clock;
using test::RealGnuplot;
using test::since;

TEST(Sync, ReportsGnuplotsErrorOnceAndNoticesItsEnd) {
    RealGnuplot gnuplot;
    _GNUPLOT_CTRL_ *h = gnuplot.handle;
    ASSERT_NE(h, nullptr);
    const auto mark = test::files_made().size();
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
    EXPECT_EQ(gnuplot_sync(h, 0), -1); // still in the pause: sends nothing, waits for nothing
    EXPECT_EQ(gnuplot_sync(h, -1), 0); // not satisfied by the late answer
    EXPECT_EQ(gnuplot_sync(h, 0), 0);
    EXPECT_EQ(test::files_made().size(), mark) << "the answers need no file";

    gnuplot_cmd(h, "exit");
    EXPECT_EQ(gnuplot_sync(h, -1), -1);
    const std::string said = errors.text();
    EXPECT_NE(said.find("gnuplot did not answer in time\n"), std::string::npos);
    EXPECT_NE(said.find("gnuplot has ended: cannot sync\n"), std::string::npos);
}

// Killed while it waits for an answer, the caller must not leave gnuplot
// waiting for a reader that will never come.
TEST(Sync, GnuplotEndsWhenItsCallerIsKilledInASync) {
    test::TempDir dir;
    const std::string pid_file = dir.path() + "/pid";
    std::fflush(nullptr);
    const pid_t caller = fork();
    if (caller == 0) {
        _GNUPLOT_CTRL_ *h = gnuplot_init();
        gnuplot_cmd(h, "!echo $PPID > %s", pid_file.c_str());
        gnuplot_cmd(h, "pause 1");
        gnuplot_sync(h, -1);
        _exit(0);
    }
    while (test::read_file(pid_file).empty())
        usleep(10000);
    kill(caller, SIGKILL);
    waitpid(caller, nullptr, 0);
    const std::string stat =
        "/proc/" + std::to_string(std::stoi(test::read_file(pid_file))) + "/stat";
    const auto start = steady_clock::now();
    auto running = [&] {
        const std::string state = test::read_file(stat);
        return !state.empty() && state.find(") Z") == std::string::npos;
    };
    while (running() && since(start) < milliseconds(20000))
        usleep(20000);
    EXPECT_FALSE(running()) << "gnuplot still waits";
}
