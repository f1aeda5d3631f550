// gnuplot_save: refusals and its lines against the fake, the files through
// the real gnuplot.
#include <cstring>
#include <regex>
#include <string>

#include <gtest/gtest.h>

#include "support.h"

using test::RealGnuplot;

TEST(Save, RefusesWhatItCannotNameOrWriteAndSendsNothing) {
    const struct {
        const char *file_name;
        const char *message;
    } cases[] = {
        {"graph.gif", "cannot tell the image format from the file name: not saved\n"},
        {"png", "cannot tell the image format from the file name: not saved\n"},
        {"two\nlines.svg", "file name holds a line break: not saved\n"},
    };
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
