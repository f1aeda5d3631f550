// The graph the plots build: "plot" or "splot" begins it, "replot" adds to
// it, and a reset starts the next one.
#include <climits>
#include <cstring>

#include "internal/data_files.h"
#include "internal/figure.h"
#include "internal/graph.h"
#include "internal/handle.h"
#include "internal/messages.h"

namespace plot_control {

const char *plot_verb(const _GNUPLOT_CTRL_ *handle, const char *first) {
    if (laying_out(handle))
        return panel_verb(handle, first);
    if (handle->plot_count <= 0)
        return first;
    // A replot of the other kind would fail in gnuplot, its error only heard
    // at a sync, and sometimes not even there.
    const char *graph = handle_of(handle).graph_verb;
    if (graph != nullptr && std::strcmp(graph, first) != 0) {
        say("2-D and 3-D plots do not mix: reset first: plot not sent\n");
        return nullptr;
    }
    return "replot";
}

namespace {

// A "plot" has replaced the graph on screen: its files retire, and the
// reduced curve's kept points go with its file.
void replace_shown_graph(Handle &handle) {
    const bool reduced_shown = shows(handle.files, handle.reduced.data_file);
    if (retire_shown_graph(handle.files, handle.reply.last_request) && reduced_shown)
        handle.reduced.forget();
}

} // namespace

void count_plot(_GNUPLOT_CTRL_ *handle, const char *verb) {
    if (handle->plot_count <= 0) {
        replace_shown_graph(handle_of(handle));
        figure_replaced(handle);
        handle_of(handle).graph_verb = verb;
    }
    window_redrawn(handle_of(handle));
    // Saturate rather than overflow: past the first plot only "replot" matters.
    if (handle->plot_count < INT_MAX)
        ++handle->plot_count;
}

void forget_graph(_GNUPLOT_CTRL_ *handle) {
    // The next plot begins a graph of either kind.
    handle->plot_count = 0;
    handle_of(handle).graph_verb = nullptr;
    handle_of(handle).live.file.clear(); // nor is a live curve on it
}

} // namespace plot_control

void gnuplot_resetplot(_GNUPLOT_CTRL_ *handle) {
    plot_control::begin_call();
    if (handle == nullptr)
        return;
    plot_control::end_layout_before(
        handle, "warning: reset inside a layout: the figure ends first\n", true);
    plot_control::set_data_files_aside(handle);
    plot_control::forget_graph(handle);
}
