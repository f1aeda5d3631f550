// Syncs and saves: refusals against the fake, the rest through the real gnuplot.
#include <chrono>
#include <cmath>
#include <cstring>
#include <regex>
#include <string>

#include <locale.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

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
    double value = 0;
    const char *text = nullptr;
    EXPECT_EQ(gnuplot_get_number(nullptr, "1", &value, -1), -1);
    EXPECT_EQ(gnuplot_get_text(nullptr, "1", &text, -1), -1);
    EXPECT_EQ(gnuplot_sync(nullptr, -1), -1);
    EXPECT_STREQ(gnuplot_last_error(nullptr), "");
    for (const auto &c : cases) {
        const auto t = test::run_session([&](_GNUPLOT_CTRL_ *h) {
            EXPECT_EQ(gnuplot_get_number(h, c.file_name == nullptr ? nullptr : "1",
                                         c.file_name == nullptr ? &value : nullptr, -1),
                      -1);
            EXPECT_EQ(gnuplot_get_text(h, nullptr, &text, -1), -1);
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
    const std::string record = "print \"(c[0-9a-z]{7})#K\"\\.GPVAL_ERRMSG\\.\"\\1\";reset errors";
    const auto numbered = [&](const char *number, const char *kind) {
        return std::regex_replace(std::regex_replace(record, std::regex("#"), number),
                                  std::regex("K"), kind);
    };
    const auto request = [&](const char *number, const std::string &between) {
        return "\nset print \"/dev/fd/3\";" + numbered(number, "E") + "\n" + between +
               "set print \"/dev/fd/3\";" + numbered(number, "R") + ";unset print\n";
    };
    const std::string sync = "\nset print \"/dev/fd/3\";" + numbered("2", "R") + ";unset print\n";
    EXPECT_TRUE(std::regex_match(
        t.sent, std::regex(request("1", "t[0-9a-z]{7}=GPVAL_TERM\\.\" \"\\.GPVAL_TERMOPTIONS;"
                                        "set terminal pdfcairo\n"
                                        "if \\(exists\\(\"GPVAL_LAST_PLOT\"\\)\\) \\{set output "
                                        "'./it' \\. \"'\" \\. 's `here`.PDF'; replot\\} "
                                        "else \\{replot\\}\nunset output\n"
                                        "set terminal @t[0-9a-z]{7};"
                                        "undefine t[0-9a-z]{7}\n") +
                           sync)))
        << t.sent;
}

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

TEST(Save, WritesCompleteFilesBeforeCloseAndKeepsTheCallersTerminal) {
    test::TempDir dir;
    RealGnuplot gnuplot;
    _GNUPLOT_CTRL_ *h = gnuplot.handle;
    ASSERT_NE(h, nullptr);
    // Pushed, and kept through the reduced plot's probe and the saves.
    gnuplot_cmd(h, "set terminal png size 320,240; set terminal push; set terminal unknown");
    gnuplot_cmd(h, "chartlink_terminal = 'mine'"); // no name a save keeps its terminal in
    const double x[] = {0, 1, 2, 3}, y[] = {1, 0, 2, 1};
    gnuplot_setstyle(h, "lines");
    gnuplot_plot_xy_reduced(h, x, y, 4, "walk");
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
    const char *mine = nullptr;
    EXPECT_EQ(gnuplot_get_text(h, "chartlink_terminal", &mine, -1), 0);
    EXPECT_STREQ(mine, "mine");
    gnuplot_cmd(h, "set terminal pop; set output \"%s/after.png\"", dir.path().c_str());
    gnuplot_cmd(h, "replot");
    EXPECT_EQ(gnuplot_sync(h, -1), 0) << gnuplot_last_error(h);
    EXPECT_EQ(test::png_size(dir.path() + "/after.png"), std::make_pair(320U, 240U));
}

// What a caller's own line does to gnuplot's input or its messages must not
// lose, fake or shift an answer; where gnuplot still reads the caller's
// command, a request is refused and nothing is sent.
TEST(Sync, NoCallersLineSwallowsFakesOrMisreportsAnAnswer) {
    const char *const unfinished = "the last command is unfinished: cannot sync\n";
    const struct {
        const char *line;
        int result;
        const char *error;
        const char *said;
    } cases[] = {
        {"pause -1", 0, "", ""}, // reads the next line
        {"print 1 \\", -1, "", unfinished},
        {"+ 1 # {", 0, "", ""},
        {"if (1) { print '}' # }", -1, "", unfinished},
        {"print \"{\" }", 0, "", ""},
        {"$d << EOD", -1, "", unfinished},
        {"print 2", -1, "", unfinished},
        {"EODX", 0, "", ""},
        {"} else {", 1, "unexpected }", ""}, // gnuplot counts a line's braces together
        {"!true {", 0, "", ""},              // a shell line's braces are the shell's
        {"$a << EOA; $b<<EOB-1", -1, "", unfinished},
        {"EOA", -1, "", unfinished},
        {"EOB", 1, "unexpected or unrecognized token: -", ""},
        {"n = system(\"false\")", 0, "", ""},
        {"exit error \"first\\nsecond\"", 1, "first\nsecond", ""},
        {"exit error \"chartlink-sync 6 0 \"", 1, "chartlink-sync 6 0 ", ""},
        // Records of this very format, for the requests to come, under another tag.
        {"set print \"/dev/fd/3\"; do for [i=1:40] { print sprintf(\"cforged1%dRforgedcforged1\", "
         "i) }; unset print",
         0, "", ""},
    };
    RealGnuplot gnuplot;
    _GNUPLOT_CTRL_ *h = gnuplot.handle;
    ASSERT_NE(h, nullptr);
    for (const auto &c : cases) {
        test::Capture errors(2);
        gnuplot_cmd(h, "%s", c.line);
        EXPECT_EQ(gnuplot_sync(h, -1), c.result) << c.line;
        EXPECT_EQ(gnuplot_last_error(h), std::string(c.error)) << c.line;
        if (*c.said != '\0') {
            EXPECT_EQ(errors.text(), c.said) << c.line;
        }
    }
    EXPECT_EQ(gnuplot_get_text(h, "$d[1]", nullptr, -1), -1);
    const char *text = nullptr;
    EXPECT_EQ(gnuplot_get_text(h, "$d[1].' '.|$d|", &text, -1), 0) << gnuplot_last_error(h);
    EXPECT_STREQ(text, "print 2 1") << "the datablock took its line";
    EXPECT_EQ(gnuplot_sync(h, -1), 0);
}

TEST(Save, WritesExactlyTheFileNamedAndNothingElsewhere) {
    test::TempDir dir;
    test::ScopedCwd cwd(dir.path());
    test::write_file("x'", "theirs");
    test::write_file("kept.png", "kept");
    const char *const names[] = {"|touch ran; cat; #.png", " |b.png", "x''.png", "a\"b.png"};
    {
        RealGnuplot gnuplot;
        _GNUPLOT_CTRL_ *h = gnuplot.handle;
        ASSERT_NE(h, nullptr);
        test::Capture out(1), errors(2);
        EXPECT_EQ(gnuplot_save(h, "kept.png"), 1) << "nothing plotted";
        gnuplot_cmd(h, "set terminal png size 160,120");
        gnuplot_cmd(h, "set output 'mine.png'");
        gnuplot_plot_equation(h, "sin(x)", "sine");
        gnuplot_cmd(h, "plot sinn(x)"); // an error before the saves
        EXPECT_EQ(gnuplot_save(h, "/nonexistent/x.png"), 1);
        EXPECT_STREQ(gnuplot_last_error(h), "No such file or directory");
        for (const char *name : names)
            EXPECT_EQ(gnuplot_save(h, name), 0) << name << ": " << gnuplot_last_error(h);
        EXPECT_EQ(gnuplot_sync(h, -1), 1) << "the earlier error waits for the sync";
        EXPECT_NE(std::string(gnuplot_last_error(h)).find("sinn"), std::string::npos);
        EXPECT_EQ(out.text(), "") << "drawn onto standard output";
    }
    for (const char *name : names)
        EXPECT_EQ(test::png_iend_count(dir.path() + "/" + name), 1) << name;
    EXPECT_EQ(test::png_iend_count(dir.path() + "/mine.png"), 1);
    EXPECT_EQ(test::read_file("x'"), "theirs");
    EXPECT_EQ(test::read_file("kept.png"), "kept");
    EXPECT_FALSE(test::file_exists("ran"));
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

// A get that gave up leaves gnuplot writing an answer larger than the reply
// pipe holds: neither the lines after it nor close may wait on that.
TEST(Close, NeverWaitsForALateAnswer) {
    for (const bool lines_after : {true, false}) {
        const int status = test::run_in_child([&] {
            _GNUPLOT_CTRL_ *h = gnuplot_init();
            gnuplot_cmd(h, "big = 'x'; do for [i=1:20] { big = big . big }"); // 1 MiB
            const char *text = nullptr;
            if (gnuplot_get_text(h, "big", &text, 1) != -1)
                return 1;
            for (int i = 0; lines_after && i < 5000; ++i)
                gnuplot_cmd(h, "set title 'line %d, which gnuplot reads after the answer'", i);
            if (lines_after && gnuplot_sync(h, -1) != 0)
                return 2;
            gnuplot_close(h); // the child's hang guard ends a wait
            return 0;
        });
        EXPECT_EQ(status, 0) << (lines_after ? "lines after the get" : "close after the get");
    }
}

TEST(Get, ReadsNumbersAndTextsBackExactly) {
    RealGnuplot gnuplot;
    _GNUPLOT_CTRL_ *h = gnuplot.handle;
    ASSERT_NE(h, nullptr);
    test::Capture errors(2);
    gnuplot_cmd(h, "set terminal dumb");
    gnuplot_cmd(h, "set output '/dev/null'");
    gnuplot_cmd(h, "long = ''; do for [i=1:1000] { long = long . '0123456789' }");
    const double x[] = {0, 1, 2, 3}, y[] = {0.5, 2.5, 4.5, 6.5}; // y = 2x + 0.5
    const double *const columns[] = {x, y};
    gnuplot_cmd(h, "set xrange [-2:3]");
    gnuplot_plot_columns(h, columns, 2, 4, nullptr);
    const std::string file = h->temp_files[0];
    gnuplot_cmd(h, "fit a*x + b '%s' binary format='%%2float64' using 1:2 via a, b", file.c_str());
    gnuplot_cmd(h, "stats '%s' binary format='%%2float64' using 2 nooutput", file.c_str());
    const struct {
        const char *expression;
        double value;
    } numbers[] = {{"pi", M_PI},       {"1.0/3", 1.0 / 3},  {"2**62", 0x1p62}, {"1e-310", 1e-310},
                   {"GPVAL_X_MAX", 3}, {"STATS_mean", 3.5}, {"a", 2},          {"b", 0.5}};
    for (const auto &n : numbers) {
        double value = -1;
        EXPECT_EQ(gnuplot_get_number(h, n.expression, &value, -1), 0) << gnuplot_last_error(h);
        EXPECT_NEAR(value, n.value, n.expression[1] == '\0' ? 1e-9 : 0) << n.expression; // a, b fit
    }
    const struct {
        const char *expression;
        std::string text;
    } texts[] = {{"\"two\\nlines\"", "two\nlines"},
                 {"'say \"hi\", 50%'", "say \"hi\", 50%"},
                 {"long",
                  [] {
                      std::string ten_thousand;
                      for (int i = 0; i < 1000; ++i)
                          ten_thousand += "0123456789";
                      return ten_thousand;
                  }()},
                 {"6*7", "42"},
                 // As gnuplot reads them at the end of a line.
                 {"'it''s' . strlen('')", "it's0"},
                 {"'a", "a"},
                 {"1 # {", "1"},
                 {"1); unset print; x=(1", "1"}};
    for (const auto &t : texts) {
        const char *text = nullptr;
        ASSERT_EQ(gnuplot_get_text(h, t.expression, &text, -1), 0) << gnuplot_last_error(h);
        EXPECT_EQ(text, t.text) << t.expression;
    }
    double untouched = 42;
    const char *text = "untouched";
    // Rejected as gnuplot reads the line, or leaving a block open: still an answer.
    for (const char *rejected : {"sinn(1)", "1e", "2\\", "1@2", "1\x01", "1 + {", "{\"", "{ #"}) {
        EXPECT_EQ(gnuplot_get_number(h, rejected, &untouched, 10000), 1) << rejected;
        EXPECT_NE(std::string(gnuplot_last_error(h)), "") << rejected;
        EXPECT_EQ(gnuplot_get_text(h, rejected, &text, 10000), 1) << rejected;
    }
    EXPECT_STREQ(text, "untouched");
    EXPECT_FALSE(std::regex_search(errors.text(), std::regex("c[0-9a-z]{7}[0-9]+[EVR]")))
        << "a record went astray";
    EXPECT_EQ(gnuplot_get_number(h, "'abc'", &untouched, -1), 1);
    EXPECT_EQ(gnuplot_get_number(h, "{1,2}", &untouched, -1), 1);
    EXPECT_STREQ(gnuplot_last_error(h), "not a real number: 1 2");
    EXPECT_EQ(untouched, 42);
    gnuplot_cmd(h, "pause 2");
    EXPECT_EQ(gnuplot_get_number(h, "1", &untouched, 100), -1);
    EXPECT_EQ(gnuplot_get_number(h, "7", &untouched, -1), 0);
    EXPECT_EQ(untouched, 7);
    // gnuplot's sprintf writes the decimal sign of the locale it is told to use.
    const locale_t german = newlocale(LC_NUMERIC_MASK, "de_DE.UTF-8", nullptr);
    ASSERT_NE(german, nullptr) << "the test step generates this locale";
    freelocale(german);
    gnuplot_cmd(h, "set decimalsign locale \"de_DE.UTF-8\"");
    EXPECT_EQ(gnuplot_get_number(h, "-0.25e-300", &untouched, -1), 0) << gnuplot_last_error(h);
    EXPECT_EQ(untouched, -0.25e-300);
    test::Capture ended(2);
    gnuplot_cmd(h, "exit");
    EXPECT_EQ(gnuplot_get_number(h, "1", &untouched, -1), -1);
    EXPECT_EQ(gnuplot_save(h, "ended.png"), -1);
    EXPECT_EQ(ended.text(), "gnuplot has ended: no value read\ngnuplot has ended: not saved\n");
}
