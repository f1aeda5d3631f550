// One plot of a data file, from the file's making to the plot's count.
#include <cstdio>
#include <cstring>

#include "internal/data_file_plot.h"
#include "internal/figure.h"
#include "internal/graph.h"
#include "internal/handle.h"

namespace plot_control {
namespace {

bool format_plot_command(CommandLine &line, const PlotShape &shape, const char *file_name,
                         const char *title) {
    if (title == nullptr)
        return format_own_command(line, "%s \"%s\"%s with %s", shape.verb, file_name, shape.layout,
                                  shape.how);
    return format_own_command(line, "%s \"%s\"%s title \"%s\" with %s", shape.verb, file_name,
                              shape.layout, title, shape.how);
}

} // namespace

void describe_binary(char (&layout)[96], int column_count) {
    if (column_count == 1) {
        std::strcpy(layout, " binary format=\"%float64\" using 0:1");
        return;
    }
    char *end =
        layout + std::sprintf(layout, " binary format=\"%%%dfloat64\" using 1", column_count);
    for (int c = 2; c <= column_count; ++c)
        end += std::sprintf(end, ":%d", c);
}

DataFilePlot::DataFilePlot(_GNUPLOT_CTRL_ *handle, const PlotShape &shape, const char *title)
    : handle_(handle), verb_(shape.verb) {
    // mkostemp keeps the name's length, so the template tells whether the
    // command will be accepted before any file exists.
    started_ = verb_ != nullptr && data_slot_free(handle) &&
               format_plot_command(line_, shape, data_file_template, title) &&
               create_data_file(file_);
    if (started_)
        format_plot_command(line_, shape, file_.name, title);
}

BlockWriter DataFilePlot::writer() {
    return BlockWriter(handle_of(handle_).block, file_.fd);
}

bool DataFilePlot::finish(bool written) {
    if (!keep_data_file(handle_, file_, written))
        return false;
    send_plot(handle_, line_, verb_);
    return true;
}

} // namespace plot_control
