// The control record: opening and closing a handle, its style and counts.
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "internal.h"

namespace chartlink {
namespace {

constexpr const char *style_table[] = {
    "lines", "points",    "linespoints", "impulses",     "dots",
    "steps", "errorbars", "boxes",       "boxerrorbars",
};

bool is_known_style(const char *style) {
    for (const char *known : style_table) {
        if (std::strcmp(style, known) == 0)
            return true;
    }
    return false;
}

} // namespace

const char *plot_verb(const _GNUPLOT_CTRL_ *handle, const char *first) {
    if (handle->plot_count <= 0)
        return first;
    // A replot of the other kind would fail in gnuplot, its error only heard
    // at a sync, and sometimes not even there.
    const char *graph = handle_of(handle).graph_verb;
    if (graph != nullptr && std::strcmp(graph, first) != 0) {
        chartlink::say("2-D and 3-D plots do not mix: reset first: plot not sent\n");
        return nullptr;
    }
    return "replot";
}

void count_plot(_GNUPLOT_CTRL_ *handle, const char *verb) {
    if (handle->plot_count <= 0) {
        retire_shown_graph(handle); // a "plot" has replaced the graph on screen
        handle_of(handle).graph_verb = verb;
    }
    window_may_reopen(handle_of(handle));
    // Saturate rather than overflow: past the first plot only "replot" matters.
    if (handle->plot_count < INT_MAX)
        ++handle->plot_count;
}

void forget_plots(_GNUPLOT_CTRL_ *handle) {
    handle->plot_count = 0;
    handle_of(handle).graph_verb = nullptr;
}

} // namespace chartlink

_GNUPLOT_CTRL_ *gnuplot_init(void) {
    chartlink::begin_call();
    if (std::getenv("DISPLAY") == nullptr)
        chartlink::say("cannot find DISPLAY variable: is it set?\n");
    chartlink::ProgramPath found; // our own, so threads can open handles at once
    if (chartlink::find_program(found, "gnuplot") == nullptr) {
        chartlink::say("cannot find gnuplot in your PATH");
        return nullptr;
    }
    auto *handle = new (std::nothrow) chartlink::Handle;
    if (handle == nullptr) {
        chartlink::say("cannot allocate memory for the plot handle\n");
        return nullptr;
    }
    _GNUPLOT_CTRL_ *record = &handle->record;
    gnuplot_setstyle(record, "points");
    chartlink::name_reply_channel(handle->reply);
    if (!chartlink::start_gnuplot(*handle)) {
        chartlink::say("error starting gnuplot\n");
        delete handle;
        return nullptr;
    }
    return record;
}

void gnuplot_setstyle(_GNUPLOT_CTRL_ *handle, const char *style) {
    chartlink::begin_call();
    if (handle == nullptr)
        return;
    if (style == nullptr || !chartlink::is_known_style(style)) {
        chartlink::warn("warning: unknown requested style: using points\n");
        style = "points";
    }
    std::strcpy(handle->style, style);
}

void gnuplot_close(_GNUPLOT_CTRL_ *handle) {
    chartlink::begin_call();
    if (handle == nullptr)
        return;
    chartlink::Handle &owner = chartlink::handle_of(handle);
    // The handle is dead after this call whatever the wait says, so its
    // files and memory go in every case; a forked child's close leaves the
    // files to the process that made them.
    if (!chartlink::end_gnuplot(owner))
        chartlink::say("problem closing communication to gnuplot\n");
    if (chartlink::is_opener(owner))
        chartlink::remove_data_files(handle);
    delete &owner;
}
