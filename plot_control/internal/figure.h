// What a handle holds for the figure being drawn: the curve style, and the
// panels of a layout; provided by curve_styles.cpp, layouts.cpp and bars.cpp.
#ifndef PLOT_CONTROL_FIGURE_H
#define PLOT_CONTROL_FIGURE_H

#include <cstddef>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "chartlink.h"

namespace plot_control {

struct CommandLine;

// A figure of panels: gnuplot's multiplot, one plot line per panel.
struct Layout {
    bool open = false; // between gnuplot_set_layout() and gnuplot_end_layout()
    long long panels = 0;
    long long panel = 0;              // the current one, from 0
    const char *panel_verb = nullptr; // "plot" or "splot" once the panel has a curve
    std::vector<std::string> curves;  // the current panel's, each without its verb
    // Every line sent since the layout began, the layout line first: a
    // save after the figure ended draws it again from these.
    std::string replay;
    int settings_slot = -1; // the data file holding gnuplot's settings from before
    int script_slot = -1;   // the data file a save loads; -1 when it could not be made
    bool kept = false;      // the ended figure is the graph: saves load the script
};

struct Figure {
    std::string curve_style; // the text after "with"; empty: the handle's style
    Layout layout;
    unsigned long arrays_made = 0; // names the bar labels' arrays
};

// ---- Curve style ------------------------------------------------------

// What plots write after "with": the curve style, else the handle's style.
const char *curve_style(const _GNUPLOT_CTRL_ *handle);

// True when a line plot's reduced points draw the same pixels in the
// current style: "lines", alone or with a colour.
bool style_draws_reduced_alike(const _GNUPLOT_CTRL_ *handle);

// ---- Panels -----------------------------------------------------------

// True between gnuplot_set_layout() and gnuplot_end_layout().
bool laying_out(const _GNUPLOT_CTRL_ *handle);

// The verb a plot begins with inside a layout: the panel's own; null, with
// the message, when a 2-D and a 3-D plot would share a panel.
const char *panel_verb(const _GNUPLOT_CTRL_ *handle, const char *first);

// Sends a plot line that begins with `verb` and counts it; inside a layout,
// keeps it for the panel's plot line instead. False when refused or not sent.
bool send_plot(_GNUPLOT_CTRL_ *handle, CommandLine &line, const char *verb);

// Every line sent goes through here: inside a layout it is kept for saves.
void note_sent(_GNUPLOT_CTRL_ *handle, const CommandLine &line);

// A reset or close inside a layout ends the figure first, and says so.
void end_layout_before(_GNUPLOT_CTRL_ *handle, const char *warning);

// A save draws the figure again while it is the graph: the command that
// does ("load '<file>'"), else "replot". Null, with the message, inside a
// layout, where gnuplot cannot change its terminal.
const char *draw_command(const _GNUPLOT_CTRL_ *handle, std::string &command);

// The next plot begins a new graph: a finished figure is no longer it.
void figure_replaced(_GNUPLOT_CTRL_ *handle);

// ---- Boxes ------------------------------------------------------------

// One filled box per record of x, y, x from, x to, y from, y to: fill(i,
// out) writes record i at out and returns its end. The labels, when given,
// are the x tic labels, one per record, exactly as written; a null title
// leaves the key out.
void plot_boxes(_GNUPLOT_CTRL_ *handle, std::size_t records,
                const std::function<double *(std::size_t, double *)> &fill,
                const char *const labels[], const char *title);

// Writes the record of a bar at x from 0 to y, from left to right; returns
// its end.
inline double *box(double *out, double x, double y, double left, double right) {
    for (double value : {x, y, left, right, 0.0, y})
        *out++ = value;
    return out;
}

} // namespace plot_control

#endif
