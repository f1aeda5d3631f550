// The reply channel: no caller's line breaks its records, and no late
// answer holds up what follows; against the real gnuplot.
#include <string>

#include <gtest/gtest.h>

#include "support.h"

using test::RealGnuplot;

// What a caller's own line does to gnuplot's input or its messages must not
// lose, fake or shift an answer; where gnuplot still reads the caller's
// command, a request is refused and nothing is sent.
TEST(ReplyChannel, NoCallersLineSwallowsFakesOrMisreportsAnAnswer) {
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
    const char *text = nullptr;
    EXPECT_EQ(gnuplot_get_text(h, "$d[1].' '.|$d|", &text, -1), 0) << gnuplot_last_error(h);
    EXPECT_STREQ(text, "print 2 1") << "the datablock took its line";
    EXPECT_EQ(gnuplot_sync(h, -1), 0);
}

// A get that gave up leaves gnuplot writing an answer larger than the reply
// pipe holds: neither the lines after it nor close may wait on that.
TEST(ReplyChannel, NeverWaitsForALateAnswer) {
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
