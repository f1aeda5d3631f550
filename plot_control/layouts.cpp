// Panels: gnuplot's multiplot, each panel's curves sent as one plot line
// once the panel is complete, and the figure kept so that a save draws it
// again whole.
#include <climits>
#include <cstring>
#include <new>
#include <string>

#include <unistd.h>

#include "internal/command_channel.h"
#include "internal/data_files.h"
#include "internal/figure.h"
#include "internal/file_names.h"
#include "internal/graph.h"
#include "internal/handle.h"
#include "internal/messages.h"
#include "internal/os_helpers.h"

namespace plot_control {
namespace {

Layout &layout_of(_GNUPLOT_CTRL_ *handle) {
    return handle_of(handle).figure.layout;
}

// ", \": the end of a plot line's piece that gnuplot's continuation joins
// to the next.
constexpr std::size_t continuation_length = 3;

// The panel's curves as one plot line, a curve to a piece; "set multiplot
// next" for a panel without curves, which gnuplot then leaves empty.
void send_panel(_GNUPLOT_CTRL_ *handle, const Layout &layout) {
    CommandLine line;
    if (layout.curves.empty()) {
        format_own_command(line, "set multiplot next");
        send_line(handle, line);
        return;
    }
    for (std::size_t i = 0; i < layout.curves.size(); ++i) {
        const bool last = i + 1 == layout.curves.size();
        // Each piece was measured when its curve was kept.
        std::snprintf(line.text, sizeof line.text, "%s%s%s%s", i == 0 ? layout.panel_verb : "",
                      i == 0 ? " " : "", layout.curves[i].c_str(), last ? "" : ", \\");
        send_line(handle, line);
    }
}

void start_panel(Layout &layout) {
    layout.curves.clear();
    layout.panel_verb = nullptr;
}

bool format_layout(CommandLine &line, int rows, int columns, const char *title) {
    const std::string titled = title != nullptr ? " title " + gnuplot_string(title) : "";
    return format_own_command(line, "set multiplot layout %d,%d%s", rows, columns, titled.c_str());
}

// Margins in characters, the same for every panel, so that the plot areas
// of a column share their left and right edges and those of a row their
// top and bottom, whatever their tic labels' widths. (The layout's own
// margins, in screen fractions, let 3-D panels spill over their
// neighbours.)
constexpr char panel_margins[] = "set margins 10,3,3,3";

// The settings from before the figure, loaded again: the figure's own end
// with it. Names of data files need no quoting, and this allocates nothing.
void restore_settings(_GNUPLOT_CTRL_ *handle, const Layout &layout) {
    CommandLine line;
    if (layout.settings_slot >= 0 &&
        format_own_command(line, "load '%s'", handle->temp_files[layout.settings_slot]))
        send_line(handle, line);
}

// A new data file in the handle's table, written with text; its slot, or
// -1 when it cannot be made (nothing said).
int keep_text_file(_GNUPLOT_CTRL_ *handle, const std::string &text) {
    NewDataFile file;
    if (handle->temp_file_count >= CHARTLINK_MAX_TEMP_FILES || !make_data_file(file))
        return -1;
    const bool written = write_all(file.fd, text.data(), text.size());
    if (!written) { // keep_data_file would say a plot was refused
        close(file.fd);
        std::remove(file.name);
        return -1;
    }
    return keep_data_file(handle, file, true) ? handle->temp_file_count - 1 : -1;
}

// Sends what is left of the figure and ends gnuplot's multiplot.
void finish_figure(_GNUPLOT_CTRL_ *handle, Layout &layout) {
    if (!layout.curves.empty()) // no panel is left to skip
        send_panel(handle, layout);
    CommandLine line;
    format_own_command(line, "unset multiplot");
    send_line(handle, line);
    restore_settings(handle, layout);
    start_panel(layout);
}

std::string file_in_slot(const _GNUPLOT_CTRL_ *handle, int slot) {
    return gnuplot_string(handle->temp_files[slot]);
}

void end_layout(_GNUPLOT_CTRL_ *handle) {
    Layout &layout = layout_of(handle);
    finish_figure(handle, layout); // recorded: the replay ends the multiplot too
    layout.open = false;
    forget_graph(handle); // the next plot starts a new graph
    try {
        layout.script_slot =
            layout.settings_slot < 0
                ? -1
                : keep_text_file(handle, "load " + file_in_slot(handle, layout.settings_slot) +
                                             "\n" + layout.replay);
    } catch (const std::bad_alloc &) {
        layout.script_slot = -1;
    }
    layout.replay.clear();
    layout.replay.shrink_to_fit();
    if (layout.script_slot < 0)
        warn("warning: cannot keep the figure: saves refuse it\n");
    layout.kept = true;
}

void set_layout(_GNUPLOT_CTRL_ *handle, int rows, int columns, const char *title) {
    Layout &layout = layout_of(handle);
    CommandLine start, settings, margins;
    if (!format_layout(start, rows, columns, title) || !data_slot_free(handle))
        return;
    layout.settings_slot = keep_text_file(handle, "");
    if (layout.settings_slot < 0) {
        say("cannot create temporary file: not started\n");
        return;
    }
    format_own_command(settings, "save set '%s'", handle->temp_files[layout.settings_slot]);
    send_line(handle, settings);
    forget_graph(handle); // a figure is a new graph
    layout.replay.clear();
    layout.open = true;
    layout.panels = static_cast<long long>(rows) * columns;
    layout.panel = 0;
    start_panel(layout);
    format_own_command(margins, "%s", panel_margins);
    // A single panel lines up with nothing: the caller's margins stay.
    if (send_line(handle, start) && layout.panels > 1)
        send_line(handle, margins);
}

} // namespace

bool laying_out(const _GNUPLOT_CTRL_ *handle) {
    return handle_of(handle).figure.layout.open;
}

const char *panel_verb(const _GNUPLOT_CTRL_ *handle, const char *first) {
    const char *verb = handle_of(handle).figure.layout.panel_verb;
    if (verb != nullptr && std::strcmp(verb, first) != 0) {
        say("2-D and 3-D plots do not mix in a panel: plot not sent\n");
        return nullptr;
    }
    return first;
}

bool send_plot(_GNUPLOT_CTRL_ *handle, CommandLine &line, const char *verb) {
    if (!laying_out(handle)) {
        if (!send_line(handle, line))
            return false;
        count_plot(handle, verb);
        return true;
    }
    if (std::strlen(line.text) + continuation_length > CHARTLINK_MAX_COMMAND_LENGTH) {
        say("command too long: not sent\n");
        return false;
    }
    Layout &layout = layout_of(handle);
    try {
        layout.curves.emplace_back(line.text + std::strlen(verb) + 1);
    } catch (const std::bad_alloc &) {
        say("cannot allocate memory: plot not sent\n");
        return false;
    }
    layout.panel_verb = verb;
    count_plot(handle, verb);
    return true;
}

void note_sent(_GNUPLOT_CTRL_ *handle, const CommandLine &line) {
    Layout &layout = layout_of(handle);
    if (!layout.open)
        return;
    try {
        layout.replay.append(line.text).push_back('\n');
    } catch (const std::bad_alloc &) {
        layout.settings_slot = -1; // no figure to draw again
    }
}

void end_layout_before(_GNUPLOT_CTRL_ *handle, const char *warning) {
    Layout &layout = layout_of(handle);
    if (!layout.open)
        return;
    warn(warning);
    layout.open = false; // nothing more to keep: the figure is not the graph after this
    finish_figure(handle, layout);
}

const char *draw_command(const _GNUPLOT_CTRL_ *handle, std::string &command) {
    const Layout &layout = handle_of(handle).figure.layout;
    if (layout.open) {
        say("a figure is being laid out: end it first: not saved\n");
        return nullptr;
    }
    if (!layout.kept)
        return "replot";
    if (layout.script_slot < 0) {
        say("the figure could not be kept: not saved\n");
        return nullptr;
    }
    command = "load " + file_in_slot(handle, layout.script_slot);
    return command.c_str();
}

void figure_replaced(_GNUPLOT_CTRL_ *handle) {
    layout_of(handle).kept = false;
}

} // namespace plot_control

void gnuplot_set_layout(_GNUPLOT_CTRL_ *handle, int rows, int columns, const char *title) {
    plot_control::begin_call();
    if (handle == nullptr)
        return;
    if (rows < 1 || columns < 1) {
        plot_control::say("a layout needs at least 1 row and 1 column: not started\n");
        return;
    }
    if (plot_control::laying_out(handle)) {
        plot_control::say("a figure is already being laid out: not started\n");
        return;
    }
    try {
        plot_control::set_layout(handle, rows, columns, title);
    } catch (const std::bad_alloc &) {
        plot_control::say("cannot allocate memory: not started\n");
    }
}

void gnuplot_next_panel(_GNUPLOT_CTRL_ *handle) {
    plot_control::begin_call();
    if (handle == nullptr)
        return;
    plot_control::Layout &layout = plot_control::layout_of(handle);
    if (!layout.open) {
        plot_control::say("no figure is being laid out: not moved\n");
        return;
    }
    if (layout.panel + 1 >= layout.panels) {
        plot_control::say("the figure has no panel left: not moved\n");
        return;
    }
    plot_control::send_panel(handle, layout);
    plot_control::start_panel(layout);
    ++layout.panel;
}

void gnuplot_end_layout(_GNUPLOT_CTRL_ *handle) {
    plot_control::begin_call();
    if (handle == nullptr)
        return;
    if (!plot_control::laying_out(handle)) {
        plot_control::say("no figure is being laid out: not ended\n");
        return;
    }
    plot_control::end_layout(handle);
}
