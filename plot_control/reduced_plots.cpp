// Line plots reduced to what their pixels show. Drawn as lines, the points
// of one pixel column only ever make a vertical run from their lowest to
// their highest, joined to the columns beside by the first and the last
// point: keeping those four per column (the M4 aggregation) draws the same
// pixels. Outside the plot's ranges gnuplot draws no line between two
// points (unless "set clip two"), so there a run keeps only its ends.
// The columns are gnuplot's: a probe plot of the same line over a file of
// the points that decide autoscale tells where the plot area lies
// (plot_area_probe.cpp); the reduction itself is reduction.cpp's, and every
// point is kept for saves by reduced_curve.cpp. This file runs the steps in
// turn, and plots every point wherever the probe cannot stand in.
#include <cstring>
#include <new>
#include <vector>

#include "internal/data_file_plot.h"
#include "internal/data_writer.h"
#include "internal/figure.h"
#include "internal/graph.h"
#include "internal/handle.h"
#include "internal/messages.h"
#include "internal/os_helpers.h"
#include "internal/plot_area_probe.h"
#include "internal/reduced_curve.h"
#include "internal/reduction.h"

namespace plot_control {
namespace {

// Plots every point, as gnuplot_plot_columns() does with these two columns.
void plot_every_point(_GNUPLOT_CTRL_ *handle, const double *x, const double *y, int count,
                      const char *title) {
    const double *const pair[] = {x, y};
    gnuplot_plot_columns(handle, pair, 2, count, title);
}

// Sends `plot`, whose file holds the probe's rows, as the probe, and reduces
// x and y to what the plot area it finds shows: true with the rows in
// `reduced`; false, `reduced` empty, when every row is to be plotted.
bool reduce_by_probe(Handle &handle, const CommandLine &plot, const ProbePlan &plan,
                     const double *x, const double *y, std::size_t count,
                     std::vector<std::size_t> &reduced) {
    try {
        Mapping mapping;
        if (!map_plot_area(handle, plot, plan, mapping))
            return false;
        reduce(x, y, count, mapping, reduced);
        return true;
    } catch (const std::bad_alloc &) {
        reduced.clear();
        return false;
    }
}

void plot_reduced(_GNUPLOT_CTRL_ *handle, const double *x, const double *y, int count,
                  const char *title) {
    const std::size_t rows = static_cast<std::size_t>(count);
    Handle &owner = handle_of(handle);
    if (!style_draws_reduced_alike(handle) || laying_out(handle) || handle->plot_count > 0 ||
        !drawable_series(x, y, rows)) {
        plot_every_point(handle, x, y, count, title);
        return;
    }
    // x is kept while gnuplot may still be starting, y while it draws.
    OwnedFd every_point{write_every_x(x, rows)};
    ProbePlan plan;
    std::vector<std::size_t> preview, reduced;
    if (!prepare_probe(owner, x, y, rows, plan, preview)) {
        every_point.close_now(); // its descriptor may be the one the plot needs
        plot_every_point(handle, x, y, count, title);
        return;
    }
    PlotShape shape{plot_verb(handle), "", curve_style(handle)};
    describe_binary(shape.layout, 2);
    DataFilePlot plot(handle, shape, title);
    if (!plot.started())
        return;
    // The file holds the probe's rows while the probe plots it, then the
    // rows to draw.
    BlockWriter writer = plot.writer();
    bool written = write_pair_rows(writer, x, y, rows, &preview);
    if (written) {
        const bool some = reduce_by_probe(owner, plot.line(), plan, x, y, rows, reduced);
        writer.start_over();
        written = write_pair_rows(writer, x, y, rows, some ? &reduced : nullptr);
    }
    if (plot.finish(written) && !reduced.empty())
        keep_every_point(owner, every_point, x, y, rows, reduced);
}

} // namespace
} // namespace plot_control

void gnuplot_plot_xy_reduced(_GNUPLOT_CTRL_ *handle, const double *x, const double *y, int count,
                             const char *title) {
    plot_control::begin_call();
    if (handle == nullptr || x == nullptr || y == nullptr || count < 1)
        return;
    try {
        const plot_control::SignalBlock no_size_kill(SIGXFSZ); // the kept points are a file too
        plot_control::plot_reduced(handle, x, y, count, title);
    } catch (const std::bad_alloc &) {
        plot_control::say("cannot allocate memory: plot not sent\n");
    }
}
