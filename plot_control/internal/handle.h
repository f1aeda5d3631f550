// The handle: everything it holds beyond the public record, grouped by the
// concern that owns it. Defined here; opened and closed by handle.cpp.
#ifndef PLOT_CONTROL_HANDLE_H
#define PLOT_CONTROL_HANDLE_H

#include <type_traits>

#include "chartlink.h"
#include "internal/command_channel.h"
#include "internal/data_files.h"
#include "internal/data_writer.h"
#include "internal/figure.h"
#include "internal/gnuplot_process.h"
#include "internal/reduced_curve.h"
#include "internal/reply_channel.h"
#include "internal/window.h"

namespace plot_control {

// In the same allocation as the record, which comes first, so a handle
// converts either way.
struct Handle {
    _GNUPLOT_CTRL_ record{};
    GnuplotProcess process;
    CommandPipe commands;
    ReplyChannel reply;
    DataFiles files;
    const char *graph_verb = nullptr; // "plot" or "splot": began the graph; null before
    ReducedCurve reduced;
    WindowEvents window;
    LiveCurve live;
    Figure figure; // the curve style and the panels
    DataBlock block;
};
static_assert(std::is_standard_layout_v<Handle>, "the record must convert to its handle");

inline Handle &handle_of(_GNUPLOT_CTRL_ *record) {
    return *reinterpret_cast<Handle *>(record);
}
inline const Handle &handle_of(const _GNUPLOT_CTRL_ *record) {
    return *reinterpret_cast<const Handle *>(record);
}

// gnuplot_close() without starting a call of its own, so that the one-shot
// plot's last message stays that of its plot.
void close_handle(_GNUPLOT_CTRL_ &record);

} // namespace plot_control

#endif
