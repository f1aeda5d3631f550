// Plots of caller arrays, which travel to gnuplot through data files: text
// for gnuplot_plot_x and gnuplot_plot_xy, raw doubles for columns.
#include "internal/data_file_plot.h"
#include "internal/data_writer.h"
#include "internal/figure.h"
#include "internal/graph.h"
#include "internal/messages.h"

namespace {

using plot_control::BlockWriter;
using plot_control::Columns;

constexpr int max_columns = CHARTLINK_MAX_COLUMNS;

void plot_text(_GNUPLOT_CTRL_ *handle, const Columns &data, const char *title) {
    plot_control::plot_data(
        handle, {plot_control::plot_verb(handle), "", plot_control::curve_style(handle)}, title,
        [&](BlockWriter &writer) { return write_text(writer, data); });
}

void plot_binary(_GNUPLOT_CTRL_ *handle, const char *verb, const Columns &data, const char *title) {
    plot_control::PlotShape shape{verb, "", plot_control::curve_style(handle)};
    plot_control::describe_binary(shape.layout, data.column_count);
    plot_control::plot_data(handle, shape, title,
                            [&](BlockWriter &writer) { return write_binary(writer, data); });
}

bool columns_given(const double *const columns[], int column_count) {
    for (int c = 0; c < column_count; ++c) {
        if (columns[c] == nullptr)
            return false;
    }
    return true;
}

} // namespace

void gnuplot_plot_x(_GNUPLOT_CTRL_ *handle, const double *x, int count, const char *title) {
    plot_control::begin_call();
    if (handle != nullptr && x != nullptr && count >= 1)
        plot_text(handle, {&x, 1, count}, title);
}

void gnuplot_plot_xy(_GNUPLOT_CTRL_ *handle, const double *x, const double *y, int count,
                     const char *title) {
    plot_control::begin_call();
    const double *const pair[] = {x, y};
    if (handle != nullptr && x != nullptr && y != nullptr && count >= 1)
        plot_text(handle, {pair, 2, count}, title);
}

void gnuplot_plot_columns(_GNUPLOT_CTRL_ *handle, const double *const columns[], int column_count,
                          int count, const char *title) {
    plot_control::begin_call();
    if (handle == nullptr || columns == nullptr || column_count < 1 || count < 1)
        return;
    if (column_count > max_columns) {
        plot_control::say_formatted("too many columns (at most %d): plot not sent\n", max_columns);
        return;
    }
    if (columns_given(columns, column_count))
        plot_binary(handle, plot_control::plot_verb(handle), {columns, column_count, count}, title);
}

void gnuplot_splot_columns(_GNUPLOT_CTRL_ *handle, const double *const columns[], int column_count,
                           int count, const char *title) {
    plot_control::begin_call();
    if (handle == nullptr || columns == nullptr || count < 1)
        return;
    if (column_count < 3 || column_count > max_columns) {
        plot_control::say_formatted("splot takes 3 to %d columns: plot not sent\n", max_columns);
        return;
    }
    if (columns_given(columns, column_count))
        plot_binary(handle, plot_control::plot_verb(handle, "splot"),
                    {columns, column_count, count}, title);
}
