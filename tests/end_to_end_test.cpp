// Through the real gnuplot.
#include <string>
#include <utility>

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "support.h"

namespace {

// Width and height from a PNG's header; {0, 0} when it is no PNG.
std::pair<unsigned, unsigned> png_size(const std::string &path) {
    const std::string png = test::read_file(path);
    if (png.size() < 24 || png.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0 ||
        png.compare(12, 4, "IHDR") != 0)
        return {0, 0};
    const auto big_endian = [&](std::size_t at) {
        unsigned value = 0;
        for (std::size_t i = at; i < at + 4; ++i)
            value = value << 8 | static_cast<unsigned char>(png[i]);
        return value;
    };
    return {big_endian(16), big_endian(20)};
}

// Runs a program with one argument; its exit status, or -1.
int run_program(const char *path, const char *argument) {
    const int status = test::run_in_child([&] {
        execl(path, path, argument, static_cast<char *>(nullptr));
        return 127;
    });
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

TEST(EndToEnd, SineDemoWritesA640By480PngAndPrintsNothing) {
    test::TempDir dir;
    test::ScopedCwd cwd(dir.path());
    test::Capture out(1);
    EXPECT_EQ(run_program(SINE_DEMO_PATH, "ignored"), 0);
    EXPECT_EQ(out.text(), "");
    EXPECT_EQ(png_size(dir.path() + "/sine.png"), std::make_pair(640U, 480U));
}

TEST(EndToEnd, SineDemoWithoutGnuplotExitsWithStatusOne) {
    test::TempDir dir;
    test::ScopedCwd cwd(dir.path());
    test::ScopedEnv path("PATH", dir.path());
    test::Capture errors(2);
    EXPECT_EQ(run_program(SINE_DEMO_PATH, "ignored"), 1);
    EXPECT_NE(errors.text().find("cannot find gnuplot in your PATH"), std::string::npos);
}

TEST(EndToEnd, DataPlotExampleDrawsItsImage) {
    test::TempDir dir;
    const std::string image = dir.path() + "/damped.png";
    EXPECT_EQ(run_program(DATA_PLOT_EXAMPLE_PATH, image.c_str()), 0);
    EXPECT_EQ(png_size(image), std::make_pair(800U, 500U));
}

TEST(EndToEnd, DataPlotOfPairsDrawsAnImage) {
    test::TempDir dir;
    const std::string image = dir.path() + "/pairs.png";
    const double x[] = {0, 1, 2, 3}, y[] = {0, 1, 4, 9};
    _GNUPLOT_CTRL_ *handle = gnuplot_init();
    ASSERT_NE(handle, nullptr);
    gnuplot_cmd(handle, "set terminal png size 320,240");
    gnuplot_cmd(handle, "set output \"%s\"", image.c_str());
    gnuplot_setstyle(handle, "linespoints");
    gnuplot_plot_xy(handle, x, y, 4, "squares");
    gnuplot_close(handle);
    EXPECT_EQ(png_size(image), std::make_pair(320U, 240U));
}
