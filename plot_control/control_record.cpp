// The control record: opening and closing a handle, its style and counts.
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

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

const char *plot_verb(const _GNUPLOT_CTRL_ *handle) {
    return handle->plot_count <= 0 ? "plot" : "replot";
}

void count_plot(_GNUPLOT_CTRL_ *handle) {
    // Saturate rather than overflow: past the first plot only "replot" matters.
    if (handle->plot_count < INT_MAX)
        ++handle->plot_count;
}

void remove_temp_files(_GNUPLOT_CTRL_ *handle) {
    for (int slot = 0; slot < handle->temp_file_count; ++slot)
        std::remove(handle->temp_files[slot]);
    handle->temp_file_count = 0;
}

} // namespace chartlink

_GNUPLOT_CTRL_ *gnuplot_init(void) {
    if (std::getenv("DISPLAY") == nullptr)
        std::fputs("cannot find DISPLAY variable: is it set?\n", stderr);
    if (gnuplot_get_program_path("gnuplot") == nullptr) {
        std::fputs("cannot find gnuplot in your PATH", stderr);
        return nullptr;
    }
    auto *handle = static_cast<_GNUPLOT_CTRL_ *>(std::calloc(1, sizeof(_GNUPLOT_CTRL_)));
    if (handle == nullptr) {
        std::fputs("cannot allocate memory for the plot handle\n", stderr);
        return nullptr;
    }
    gnuplot_setstyle(handle, "points");
    // "e": the pipe is close-on-exec, so programs the caller starts later do
    // not hold it open and gnuplot_close() never waits for them.
    handle->command_stream = popen("gnuplot", "we");
    if (handle->command_stream == nullptr) {
        std::fputs("error starting gnuplot\n", stderr);
        std::free(handle);
        return nullptr;
    }
    return handle;
}

void gnuplot_setstyle(_GNUPLOT_CTRL_ *handle, const char *style) {
    if (handle == nullptr)
        return;
    if (style == nullptr || !chartlink::is_known_style(style)) {
        std::fputs("warning: unknown requested style: using points\n", stderr);
        style = "points";
    }
    std::strcpy(handle->style, style);
}

void gnuplot_close(_GNUPLOT_CTRL_ *handle) {
    if (handle == nullptr)
        return;
    // The handle is dead after this call whatever pclose says, so its files
    // and memory go in every case.
    if (chartlink::pclose_quietly(handle->command_stream) == -1)
        std::fputs("problem closing communication to gnuplot\n", stderr);
    chartlink::remove_temp_files(handle);
    std::free(handle);
}
