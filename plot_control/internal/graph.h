// The graph the plots build: which verb began it, how many plots it has,
// and when it is replaced; provided by graph.cpp.
#ifndef PLOT_CONTROL_GRAPH_H
#define PLOT_CONTROL_GRAPH_H

#include "chartlink.h"

namespace plot_control {

// `first` ("plot", or "splot" for 3-D) for the first plot on a handle,
// "replot" afterwards. Null, with the message, when the graph began with
// the other verb: gnuplot keeps 2-D and 3-D graphs apart.
const char *plot_verb(const _GNUPLOT_CTRL_ *handle, const char *first = "plot");

// Counts one plot sent with `verb`, a literal plot_verb() gave.
void count_plot(_GNUPLOT_CTRL_ *handle, const char *verb);

// As a reset does: the next plot begins a new graph.
void forget_graph(_GNUPLOT_CTRL_ *handle);

} // namespace plot_control

#endif
