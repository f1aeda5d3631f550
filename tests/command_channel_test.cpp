#include <atomic>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "support.h"

using test::run_session;

TEST(Init, WarnsOnlyWhenDisplayIsUnsetAndOpensAHandleEitherWay) {
    const struct {
        std::optional<std::string> display;
        const char *warning;
    } cases[] = {
        {std::nullopt, "cannot find DISPLAY variable: is it set?\n"}, {"", ""}, {":0", ""}};
    for (const auto &c : cases) {
        test::FakeGnuplot fake;
        test::ScopedEnv display("DISPLAY", c.display);
        test::Capture errors(2);
        _GNUPLOT_CTRL_ *handle = gnuplot_init();
        ASSERT_NE(handle, nullptr);
        EXPECT_EQ(std::string(gnuplot_last_message()) + (*c.warning != '\0' ? "\n" : ""),
                  c.warning);
        EXPECT_EQ(gnuplot_last_refused(), 0);
        EXPECT_STREQ(handle->style, "points");
        EXPECT_EQ(handle->plot_count, 0);
        EXPECT_EQ(handle->temp_file_count, 0);
        gnuplot_close(handle);
        EXPECT_EQ(errors.text(), c.warning);
    }
}

TEST(Init, WithoutGnuplotWritesItsMessagesInOrderAndReturnsNull) {
    test::TempDir empty;
    test::ScopedCwd cwd(empty.path());
    test::ScopedEnv display("DISPLAY", std::nullopt);
    const struct {
        std::optional<std::string> path;
        const char *messages;
    } cases[] = {
        {empty.path(),
         "cannot find DISPLAY variable: is it set?\ncannot find gnuplot in your PATH"},
        {std::nullopt, "cannot find DISPLAY variable: is it set?\nPATH variable not set\n"
                       "cannot find gnuplot in your PATH"},
    };
    for (const auto &c : cases) {
        test::ScopedEnv path("PATH", c.path);
        test::Capture errors(2);
        EXPECT_EQ(gnuplot_init(), nullptr);
        EXPECT_EQ(errors.text(), c.messages);
    }
}

TEST(Init, ReportsAProcessThatCannotStart) {
    test::FakeGnuplot fake;
    test::Capture errors(2);
    const int status = test::run_in_child([] {
        const rlimit no_new_files{3, 3}; // the pipe cannot be made
        setrlimit(RLIMIT_NOFILE, &no_new_files);
        return gnuplot_init() == nullptr ? 0 : 1;
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(errors.text(), "error starting gnuplot\n");
}

#if defined(__SANITIZE_ADDRESS__)
#define CHARTLINK_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define CHARTLINK_UNDER_ASAN 1
#endif
#endif

namespace {

// Leaves this process no memory to allocate.
void use_up_memory() {
    const rlimit no_more_memory{0, RLIM_INFINITY};
    setrlimit(RLIMIT_AS, &no_more_memory);
    static void *volatile kept;                             // so the compiler keeps the allocations
    for (std::size_t size = 1 << 16; size > 0; size /= 2) { // use up the heap's leftovers
        for (void *made = std::malloc(size); made != nullptr; made = std::malloc(size))
            kept = made;
    }
    (void)kept;
}

} // namespace

TEST(Init, WithoutMemoryForTheHandleStartsNothing) {
#ifdef CHARTLINK_UNDER_ASAN
    GTEST_SKIP() << "the address sanitizer needs the address space this test takes away";
#endif
    test::FakeGnuplot fake;
    test::Capture errors(2);
    const int status = test::run_in_child([] {
        use_up_memory();
        return gnuplot_init() == nullptr ? 0 : 1;
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(errors.text(), "cannot allocate memory for the plot handle\n");
    EXPECT_EQ(fake.received(), "");
}

TEST(Close, NeedsNoMemory) {
#ifdef CHARTLINK_UNDER_ASAN
    GTEST_SKIP() << "the address sanitizer needs the address space this test takes away";
#endif
    test::FakeGnuplot fake;
    const auto mark = test::files_made().size();
    const int status = test::run_in_child([] {
        _GNUPLOT_CTRL_ *handle = gnuplot_init();
        const double values[] = {1, 2};
        gnuplot_plot_x(handle, values, 2, nullptr);
        gnuplot_sync(handle, 5000);
        use_up_memory();
        gnuplot_close(handle);
        return 0;
    });
    ASSERT_TRUE(WIFEXITED(status)) << "killed by signal " << WTERMSIG(status);
    EXPECT_EQ(test::left_behind(mark), std::vector<std::string>{});
}

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

TEST(Style, MatchesTheNineNamesExactly) {
    const char *const known[] = {"lines", "points",    "linespoints", "impulses",    "dots",
                                 "steps", "errorbars", "boxes",       "boxerrorbars"};
    const char *const unknown[] = {"Lines", "line", "lines ", "", "boxerrorbarss", nullptr};
    const auto t = run_session([&](_GNUPLOT_CTRL_ *h) {
        for (const char *name : known) {
            gnuplot_setstyle(h, name);
            EXPECT_STREQ(h->style, name);
        }
        for (const char *name : unknown) {
            gnuplot_setstyle(h, "steps");
            gnuplot_setstyle(h, name);
            EXPECT_STREQ(h->style, "points");
        }
    });
    EXPECT_EQ(t.sent, "");
    std::string warnings;
    for (std::size_t i = 0; i < std::size(unknown); ++i)
        warnings += "warning: unknown requested style: using points\n";
    EXPECT_EQ(t.errors, warnings);
}

TEST(NullArguments, AreIgnoredWithoutAWord) {
    test::Capture errors(2);
    const double values[] = {1.0};
    gnuplot_cmd(nullptr, "x");
    gnuplot_setstyle(nullptr, "lines");
    gnuplot_set_xlabel(nullptr, "x");
    gnuplot_set_ylabel(nullptr, "y");
    gnuplot_plot_equation(nullptr, "x", "t");
    gnuplot_plot_slope(nullptr, 1, 2, "t");
    gnuplot_plot_x(nullptr, values, 1, "t");
    gnuplot_plot_xy(nullptr, values, values, 1, "t");
    gnuplot_resetplot(nullptr);
    gnuplot_close(nullptr);
    EXPECT_EQ(gnuplot_get_program_path(nullptr), nullptr);
    const auto t = run_session([](_GNUPLOT_CTRL_ *h) {
        gnuplot_cmd(h, nullptr);
        gnuplot_set_xlabel(h, nullptr);
        gnuplot_set_ylabel(h, nullptr);
        gnuplot_plot_equation(h, nullptr, "t");
        EXPECT_EQ(h->plot_count, 0);
    });
    EXPECT_EQ(t.sent, "");
    EXPECT_EQ(t.errors, "");
    EXPECT_EQ(errors.text(), "");
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

// Every descriptor a handle keeps is close-on-exec and never 0, 1 or 2: a
// program that starts with its standard streams closed must not print into
// gnuplot.
TEST(Pipe, IsNotInheritedByProgramsTheCallerStartsNorTakesAStandardStream) {
    test::FakeGnuplot fake;
    const int status = test::run_in_child([] {
        close(STDIN_FILENO);
        close(STDOUT_FILENO);
        close(STDERR_FILENO);
        std::vector<bool> open_before;
        for (int fd = 0; fd < 256; ++fd)
            open_before.push_back(fcntl(fd, F_GETFD) != -1);
        _GNUPLOT_CTRL_ *handle = gnuplot_init();
        int kept = 0;
        for (int fd = 0; fd < 256; ++fd) {
            const int flags = fcntl(fd, F_GETFD);
            if (flags == -1 || open_before[static_cast<std::size_t>(fd)])
                continue;
            if (fd <= STDERR_FILENO || (flags & FD_CLOEXEC) == 0)
                return 1;
            ++kept;
        }
        const char line[] = "!touch printed\n";
        (void)!write(STDOUT_FILENO, line, sizeof line - 1);
        (void)!write(STDERR_FILENO, line, sizeof line - 1);
        gnuplot_close(handle);
        return kept == 3 ? 0 : 2; // the command pipe, the reply pipe and gnuplot's pidfd
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(fake.received(), "");
}

TEST(Threads, OpenUseAndCloseTheirOwnHandlesAtOnce) {
    test::FakeGnuplot fake;
    std::vector<std::thread> threads;
    std::atomic<int> opened{0};
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 10; ++i) {
                EXPECT_NE(gnuplot_get_program_path("gnuplot"), nullptr);
                _GNUPLOT_CTRL_ *handle = gnuplot_init();
                opened += handle != nullptr;
                gnuplot_plot_equation(handle, "x", nullptr);
                gnuplot_close(handle);
            }
        });
    }
    for (auto &thread : threads)
        thread.join();
    EXPECT_EQ(opened, 40);
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
