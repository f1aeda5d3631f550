// The handle: opened, given a style, closed.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "internal/data_files.h"
#include "internal/figure.h"
#include "internal/gnuplot_process.h"
#include "internal/handle.h"
#include "internal/messages.h"
#include "internal/program_lookup.h"
#include "internal/reply_channel.h"

namespace plot_control {
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

// The reply channel first, so that gnuplot starts with its pipe.
bool start(Handle &handle) {
    int reply_write = -1;
    if (!open_reply_channel(handle.reply, reply_write))
        return false;
    handle.record.command_stream =
        start_gnuplot(handle.process, reply_write, handle.commands.stream_buffer);
    if (handle.record.command_stream != nullptr)
        return true;
    close_reply_channel(handle.reply);
    return false;
}

} // namespace

void close_handle(_GNUPLOT_CTRL_ &record) {
    Handle &owner = handle_of(&record);
    // The handle is dead after this call whatever the wait says, so its
    // files and memory go in every case; a forked child's close leaves the
    // files to the process that made them.
    close_reply_channel(owner.reply);
    if (!end_gnuplot(owner.process, record.command_stream))
        say("problem closing communication to gnuplot\n");
    if (is_opener(owner.process))
        remove_data_files(&record);
    delete &owner;
}

} // namespace plot_control

_GNUPLOT_CTRL_ *gnuplot_init(void) {
    plot_control::begin_call();
    if (std::getenv("DISPLAY") == nullptr)
        plot_control::warn("cannot find DISPLAY variable: is it set?\n");
    plot_control::ProgramPath found; // our own, so threads can open handles at once
    if (plot_control::find_program(found, "gnuplot") == nullptr) {
        plot_control::say("cannot find gnuplot in your PATH");
        return nullptr;
    }
    auto *handle = new (std::nothrow) plot_control::Handle;
    if (handle == nullptr) {
        plot_control::say("cannot allocate memory for the plot handle\n");
        return nullptr;
    }
    _GNUPLOT_CTRL_ *record = &handle->record;
    std::strcpy(record->style, "points"); // not through gnuplot_setstyle(): it forgets the warning
    if (!plot_control::start(*handle)) {
        plot_control::say("error starting gnuplot\n");
        delete handle;
        return nullptr;
    }
    return record;
}

void gnuplot_setstyle(_GNUPLOT_CTRL_ *handle, const char *style) {
    plot_control::begin_call();
    if (handle == nullptr)
        return;
    if (style == nullptr || !plot_control::is_known_style(style)) {
        plot_control::warn("warning: unknown requested style: using points\n");
        style = "points";
    }
    std::strcpy(handle->style, style);
    plot_control::handle_of(handle).figure.curve_style.clear();
}

void gnuplot_close(_GNUPLOT_CTRL_ *handle) {
    plot_control::begin_call();
    if (handle == nullptr)
        return;
    if (plot_control::is_opener(plot_control::handle_of(handle).process))
        plot_control::end_layout_before(handle,
                                        "warning: close inside a layout: the figure ends first\n");
    plot_control::close_handle(*handle);
}
