// The send path: gnuplot_cmd, line limits, signals and a gnuplot gone.
#include <csignal>
#include <string>

#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "support.h"

using test::run_session;

TEST(Command, SendsTheFormattedTextAndOneNewline) {
    const auto t = run_session([](_GNUPLOT_CTRL_ *h) {
        gnuplot_cmd(h, "%s", "");
        gnuplot_cmd(h, "set title \"%d%% of %s\"", 50, "it");
        gnuplot_cmd(h, "print 1\n");
        gnuplot_cmd(h, "%s", "plot x");
        EXPECT_EQ(h->plot_count, 0); // sent by hand: not counted
    });
    EXPECT_EQ(t.sent, "\nset title \"50% of it\"\nprint 1\n\nplot x\n");
    EXPECT_EQ(t.errors, "");
}

TEST(Command, RefusesALineLongerThan2046CharactersWhole) {
    const std::string longest(2046, 'x');
    const auto t = run_session([&](_GNUPLOT_CTRL_ *h) {
        gnuplot_cmd(h, "%s", longest.c_str());
        gnuplot_cmd(h, "%sy", longest.c_str());
        gnuplot_cmd(h, "%ls", L"\x10ffff"); // no such character in the C locale
    });
    EXPECT_EQ(t.sent, longest + "\n");
    EXPECT_EQ(t.errors, "command too long: not sent\ncannot format command: not sent\n");
}

// A handler without SA_RESTART interrupts writes into a pipe that gnuplot
// reads slowly; no line may be lost, cut or reordered.
TEST(Command, EveryLineArrivesThroughASignalStorm) {
    test::FakeGnuplot fake;
    const std::string filler(200, 'f');
    const int status = test::run_in_child([&] {
        struct sigaction interrupt {};
        interrupt.sa_handler = [](int) {};
        sigaction(SIGALRM, &interrupt, nullptr);
        const itimerval every_ms{{0, 1000}, {0, 1000}};
        setitimer(ITIMER_REAL, &every_ms, nullptr);
        _GNUPLOT_CTRL_ *handle = gnuplot_init();
        std::fputs("print 0\n", handle->command_stream); // the caller's own, first
        for (int i = 1; i < 3000; ++i)
            gnuplot_cmd(handle, "print %d # %s", i, filler.c_str());
        gnuplot_close(handle);
        return 0;
    });
    EXPECT_EQ(status, 0);
    std::string expected = "print 0\n";
    for (int i = 1; i < 3000; ++i)
        expected += "print " + std::to_string(i) + " # " + filler + "\n";
    EXPECT_EQ(fake.received(), expected);
}

TEST(DeadGnuplot, DoesNotKillTheCallerAndLeavesItsSignalsAlone) {
    test::FakeGnuplot fake("exit");
    const int status = test::run_in_child([&] {
        _GNUPLOT_CTRL_ *handle = gnuplot_init();
        while (!test::file_exists(fake.log())) // the fake has closed its input
            usleep(1000);
        gnuplot_cmd(handle, "set xrange [0:1]");
        gnuplot_plot_equation(handle, "x", nullptr);
        gnuplot_close(handle);
        sigset_t pending, mask;
        sigpending(&pending);
        pthread_sigmask(SIG_SETMASK, nullptr, &mask);
        struct sigaction action {};
        sigaction(SIGPIPE, nullptr, &action);
        return sigismember(&pending, SIGPIPE) + 2 * sigismember(&mask, SIGPIPE) +
               4 * (action.sa_handler != SIG_DFL);
    });
    ASSERT_TRUE(WIFEXITED(status)) << "killed by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(DeadGnuplot, LeavesPendingTheSigpipeTheCallerAlreadyHad) {
    test::FakeGnuplot fake;
    const int status = test::run_in_child([] {
        sigset_t sigpipe;
        sigemptyset(&sigpipe);
        sigaddset(&sigpipe, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &sigpipe, nullptr);
        raise(SIGPIPE);
        _GNUPLOT_CTRL_ *handle = gnuplot_init();
        gnuplot_cmd(handle, "x");
        gnuplot_close(handle);
        sigset_t pending;
        sigpending(&pending);
        return sigismember(&pending, SIGPIPE) == 1 ? 0 : 1;
    });
    EXPECT_EQ(status, 0);
}
