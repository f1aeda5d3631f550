// The plot-area probe: gnuplot asked how the terminal in force draws and
// what the caller has set, then made to draw the plot over a few rows to
// tell where its plot area lies; provided by plot_area_probe.cpp.
#ifndef PLOT_CONTROL_PLOT_AREA_PROBE_H
#define PLOT_CONTROL_PLOT_AREA_PROBE_H

#include <cstddef>
#include <string>
#include <vector>

#include "internal/command_channel.h"
#include "internal/reduction.h"

namespace plot_control {

struct Handle;

// How the terminal in force draws: whether it sets whole pixels, the one
// kind of drawing whose every pixel the reduced points reproduce (an
// antialiased line shades by where within a pixel it runs, and a terminal
// of character cells is no 640-pixel image); whether it writes into the
// output file.
struct Drawing {
    bool whole_pixels = false;
    bool to_file = false;
};

// The terminal in force, as gnuplot reports it.
struct Terminal {
    std::string name, options, output;
    bool multiplot = false;
};

// What the probe learns before it plots.
struct ProbePlan {
    Terminal terminal;
    Drawing drawing;
    Settings settings;
};

// Asks gnuplot what the probe needs to know before it plots, and chooses
// the rows of x and y it plots (preview); false where the probe cannot
// stand in for the plot.
bool prepare_probe(Handle &handle, const double *x, const double *y, std::size_t count,
                   ProbePlan &plan, std::vector<std::size_t> &preview);

// Sends `plot`, a plot of the preview rows, as the probe, and reads where
// gnuplot mapped x; false when it could not be sent or drew with an error.
bool map_plot_area(Handle &handle, const CommandLine &plot, const ProbePlan &plan,
                   Mapping &mapping);

} // namespace plot_control

#endif
