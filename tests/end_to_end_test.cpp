// The demo and the examples, run as programs against the real gnuplot.
#include <regex>
#include <string>

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "support.h"

namespace {

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
    EXPECT_EQ(test::png_size(dir.path() + "/sine.png"), std::make_pair(640U, 480U));
}

TEST(EndToEnd, SineDemoWithoutGnuplotExitsWithStatusOne) {
    test::TempDir dir;
    test::ScopedCwd cwd(dir.path());
    test::ScopedEnv path("PATH", dir.path());
    test::Capture errors(2);
    EXPECT_EQ(run_program(SINE_DEMO_PATH, "ignored"), 1);
    EXPECT_NE(errors.text().find("cannot find gnuplot in your PATH"), std::string::npos);
}

TEST(EndToEnd, DataPlotExamplesDrawTheirImages) {
    test::TempDir dir;
    const std::string image = dir.path() + "/damped.png", walk = dir.path() + "/walk.png";
    EXPECT_EQ(run_program(DATA_PLOT_EXAMPLE_PATH, image.c_str()), 0);
    EXPECT_EQ(test::png_size(image), std::make_pair(800U, 500U));
    EXPECT_EQ(run_program(TEN_MILLION_EXAMPLE_PATH, walk.c_str()), 0);
    EXPECT_EQ(test::png_size(walk), std::make_pair(800U, 600U));
}

TEST(EndToEnd, ExamplesThatSaveWriteExactlyOneImage) {
    const std::string readme = test::read_file(README_PATH);
    const std::string tour_start = "`examples/tour.c`:\n\n```c\n";
    const auto tour = readme.find(tour_start) + tour_start.size();
    EXPECT_EQ(readme.substr(tour, readme.find("```", tour) - tour),
              test::read_file(TOUR_EXAMPLE_SOURCE))
        << "the README shows the tour as it is";
    for (const char *example :
         {TOUR_EXAMPLE_PATH, SEVERAL_CURVES_EXAMPLE_PATH, ERROR_BARS_EXAMPLE_PATH,
          HEATMAP_EXAMPLE_PATH, SURFACE_EXAMPLE_PATH, PANELS_EXAMPLE_PATH, MANY_CURVES_EXAMPLE_PATH,
          TIME_AXIS_EXAMPLE_PATH, BARS_EXAMPLE_PATH, HISTOGRAM_EXAMPLE_PATH}) {
        test::TempDir dir;
        const std::string image = dir.path() + "/saved.png";
        EXPECT_EQ(run_program(example, image.c_str()), 0) << example;
        EXPECT_EQ(test::png_size(image), std::make_pair(640U, 480U)) << example;
        EXPECT_EQ(test::png_iend_count(image), 1) << example;
    }
}

TEST(EndToEnd, FitExampleReadsTheParametersBack) {
    test::TempDir dir;
    test::ScopedCwd cwd(dir.path());
    test::Capture out(1);
    EXPECT_EQ(run_program(FIT_EXAMPLE_PATH, "ignored"), 0);
    EXPECT_TRUE(
        std::regex_match(out.text(), std::regex("slope a = 2\\.99\\d\\d \\+/- 0\\.\\d+\\n"
                                                "intercept b = -0\\.9\\d+ \\+/- 0\\.\\d+\\n")));
}
