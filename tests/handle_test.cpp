// Opening a handle, its style, and closing it.
#include <atomic>
#include <csignal>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
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

using test::file_of;
using test::value_count;
using test::values;

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
