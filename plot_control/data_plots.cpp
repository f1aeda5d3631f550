// Plots of caller arrays, which travel to gnuplot through data files: text
// for gnuplot_plot_x and gnuplot_plot_xy, raw doubles for columns.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "internal.h"

namespace {

using chartlink::CommandLine;

constexpr int max_columns = CHARTLINK_MAX_COLUMNS;

// The caller's values: column c, row i is columns[c][i].
struct Columns {
    const double *const *columns;
    int column_count;
    int count;
};

// Gathers the file's bytes in the handle's block, so a million points cost a
// few dozen system calls rather than a million.
class BlockWriter {
public:
    BlockWriter(_GNUPLOT_CTRL_ *handle, int fd)
        : block_(reinterpret_cast<char *>(chartlink::handle_of(handle).data_block)), fd_(fd) {}

    // Room for at least `size` more bytes; the whole block, aligned for
    // doubles, when size is the block's.
    char *reserve(std::size_t size) {
        if (chartlink::data_block_size - used_ < size)
            flush();
        return block_ + used_;
    }

    void written_up_to(const char *end) { used_ = static_cast<std::size_t>(end - block_); }

    // False from the first write that failed.
    bool ok() const { return ok_; }

    // True when every byte reached the file.
    bool finish() {
        flush();
        return ok_;
    }

private:
    void flush() {
        ok_ = ok_ && chartlink::write_all(fd_, block_, used_);
        used_ = 0;
    }

    char *block_;
    int fd_;
    bool ok_ = true;
    std::size_t used_ = 0;
};

// One line per row, its values printed as numbers and separated by blanks.
bool write_text(BlockWriter &writer, const Columns &data) {
    const std::size_t longest_line =
        static_cast<std::size_t>(data.column_count) * (chartlink::max_number_length + 1);
    for (int i = 0; i < data.count && writer.ok(); ++i) {
        char *end = writer.reserve(longest_line);
        for (int c = 0; c < data.column_count; ++c) {
            end = chartlink::format_number(end, data.columns[c][i]);
            *end++ = c + 1 < data.column_count ? ' ' : '\n';
        }
        writer.written_up_to(end);
    }
    return writer.finish();
}

// One record per row: the row's values as native doubles, a block's worth
// of rows at a time.
bool write_binary(BlockWriter &writer, const Columns &data) {
    // Copies the block cannot alias, so the loop keeps them in registers.
    const int column_count = data.column_count;
    const double *columns[max_columns];
    std::copy(data.columns, data.columns + column_count, columns);
    const std::size_t rows = static_cast<std::size_t>(data.count);
    const std::size_t rows_per_block =
        chartlink::data_block_size / (sizeof(double) * static_cast<std::size_t>(column_count));
    for (std::size_t first = 0; first < rows && writer.ok(); first += rows_per_block) {
        const std::size_t last = first + std::min(rows_per_block, rows - first);
        auto *out = reinterpret_cast<double *>(writer.reserve(chartlink::data_block_size));
        for (std::size_t i = first; i < last; ++i) {
            for (int c = 0; c < column_count; ++c)
                *out++ = columns[c][i];
        }
        writer.written_up_to(reinterpret_cast<char *>(out));
    }
    return writer.finish();
}

// How gnuplot reads a binary file: the record layout and the columns used,
// a single column against its record number.
void describe_binary(char (&layout)[64], int column_count) {
    if (column_count == 1) {
        std::strcpy(layout, " binary format=\"%float64\" using 0:1");
        return;
    }
    char *end =
        layout + std::sprintf(layout, " binary format=\"%%%dfloat64\" using 1", column_count);
    for (int c = 2; c <= column_count; ++c)
        end += std::sprintf(end, ":%d", c);
}

// <verb> "<file>"<layout> [title "<title>"] with <style>
bool format_plot_command(CommandLine &line, const _GNUPLOT_CTRL_ *handle, const char *file_name,
                         const char *layout, const char *title) {
    const char *verb = chartlink::plot_verb(handle);
    if (title == nullptr)
        return chartlink::format_own_command(line, "%s \"%s\"%s with %s", verb, file_name, layout,
                                             handle->style);
    return chartlink::format_own_command(line, "%s \"%s\"%s title \"%s\" with %s", verb, file_name,
                                         layout, title, handle->style);
}

// Writes the data file, then sends the plot naming it. Every refusal leaves
// the handle as it was and no file behind.
void plot_data(_GNUPLOT_CTRL_ *handle, const Columns &data, bool binary, const char *title) {
    if (!chartlink::data_slot_free(handle))
        return;
    char layout[64] = "";
    if (binary)
        describe_binary(layout, data.column_count);
    CommandLine line;
    // mkostemp keeps the name's length, so the template tells whether the
    // command will be accepted before any file exists.
    if (!format_plot_command(line, handle, chartlink::data_file_template, layout, title))
        return;
    chartlink::NewDataFile file;
    if (!chartlink::create_data_file(file))
        return;
    BlockWriter writer(handle, file.fd);
    const bool written = binary ? write_binary(writer, data) : write_text(writer, data);
    if (!chartlink::keep_data_file(handle, file, written))
        return;
    format_plot_command(line, handle, file.name, layout, title);
    if (chartlink::send_line(handle, line))
        chartlink::count_plot(handle);
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
    if (handle != nullptr && x != nullptr && count >= 1)
        plot_data(handle, {&x, 1, count}, false, title);
}

void gnuplot_plot_xy(_GNUPLOT_CTRL_ *handle, const double *x, const double *y, int count,
                     const char *title) {
    const double *const pair[] = {x, y};
    if (handle != nullptr && x != nullptr && y != nullptr && count >= 1)
        plot_data(handle, {pair, 2, count}, false, title);
}

void gnuplot_plot_columns(_GNUPLOT_CTRL_ *handle, const double *const columns[], int column_count,
                          int count, const char *title) {
    if (handle == nullptr || columns == nullptr || column_count < 1 || count < 1)
        return;
    if (column_count > max_columns) {
        std::fprintf(stderr, "too many columns (at most %d): plot not sent\n", max_columns);
        return;
    }
    if (columns_given(columns, column_count))
        plot_data(handle, {columns, column_count, count}, true, title);
}

void gnuplot_resetplot(_GNUPLOT_CTRL_ *handle) {
    if (handle == nullptr)
        return;
    chartlink::set_data_files_aside(handle);
    handle->plot_count = 0;
}
