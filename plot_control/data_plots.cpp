// Plots of caller arrays, which travel to gnuplot through data files: text
// for gnuplot_plot_x and gnuplot_plot_xy, raw doubles for columns.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

#include <unistd.h>

#include "internal.h"

namespace {

using plot_control::CommandLine;

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
        : block_(reinterpret_cast<char *>(plot_control::handle_of(handle).data_block)), fd_(fd) {}

    // Room for at least `size` more bytes; the whole block, aligned for
    // doubles, when size is the block's.
    char *reserve(std::size_t size) {
        if (plot_control::data_block_size - used_ < size)
            flush();
        return block_ + used_;
    }

    void written_up_to(const char *end) { used_ = static_cast<std::size_t>(end - block_); }

    // False from the first write that failed.
    bool ok() const { return ok_; }

    // Bytes already laid out go straight from the caller's memory.
    void write_through(const void *data, std::size_t size) {
        flush();
        ok_ = ok_ && plot_control::write_all(fd_, static_cast<const char *>(data), size);
    }

    // Empties the file, to write it anew.
    void start_over() {
        used_ = 0;
        ok_ = ok_ && ftruncate(fd_, 0) == 0 && lseek(fd_, 0, SEEK_SET) == 0;
    }

    // True when every byte reached the file.
    bool finish() {
        flush();
        return ok_;
    }

private:
    void flush() {
        ok_ = ok_ && plot_control::write_all(fd_, block_, used_);
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
        static_cast<std::size_t>(data.column_count) * (plot_control::max_number_length + 1);
    for (int i = 0; i < data.count && writer.ok(); ++i) {
        char *end = writer.reserve(longest_line);
        for (int c = 0; c < data.column_count; ++c) {
            end = plot_control::format_number(end, data.columns[c][i]);
            *end++ = c + 1 < data.column_count ? ' ' : '\n';
        }
        writer.written_up_to(end);
    }
    return writer.finish();
}

// Records of doubles_per_record native doubles, a block's worth at a time;
// fill(i, out) writes record i at out and returns its end.
template <class Fill>
bool write_records(BlockWriter &writer, std::size_t records, std::size_t doubles_per_record,
                   Fill fill) {
    const std::size_t per_block =
        plot_control::data_block_size / (sizeof(double) * doubles_per_record);
    for (std::size_t first = 0; first < records && writer.ok(); first += per_block) {
        const std::size_t last = first + std::min(per_block, records - first);
        auto *out = reinterpret_cast<double *>(writer.reserve(plot_control::data_block_size));
        for (std::size_t i = first; i < last; ++i)
            out = fill(i, out);
        writer.written_up_to(reinterpret_cast<char *>(out));
    }
    return writer.finish();
}

// One record per row: the row's values as native doubles.
bool write_binary(BlockWriter &writer, const Columns &data) {
    // Copies the block cannot alias, so the loop keeps them in registers.
    const int column_count = data.column_count;
    const double *columns[max_columns];
    std::copy(data.columns, data.columns + column_count, columns);
    return write_records(writer, static_cast<std::size_t>(data.count),
                         static_cast<std::size_t>(column_count), [&](std::size_t i, double *out) {
                             for (int c = 0; c < column_count; ++c)
                                 *out++ = columns[c][i];
                             return out;
                         });
}

// How gnuplot reads a binary file: the record layout and the columns used,
// a single column against its record number.
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

// What a plot line says besides its file and title:
//   <verb> "<file>"<layout> [title "<title>"] with <how>
struct PlotShape {
    const char *verb;
    char layout[96] = "";
    const char *how;
};

bool format_plot_command(CommandLine &line, const PlotShape &shape, const char *file_name,
                         const char *title) {
    if (title == nullptr)
        return plot_control::format_own_command(line, "%s \"%s\"%s with %s", shape.verb, file_name,
                                             shape.layout, shape.how);
    return plot_control::format_own_command(line, "%s \"%s\"%s title \"%s\" with %s", shape.verb,
                                         file_name, shape.layout, title, shape.how);
}

// Writes the data file with write(writer, line), line being the plot that
// names it, then sends that line. Every refusal leaves the handle as it was
// and no file behind.
template <class Write>
void plot_data(_GNUPLOT_CTRL_ *handle, const PlotShape &shape, const char *title, Write write) {
    if (shape.verb == nullptr || !plot_control::data_slot_free(handle))
        return;
    const plot_control::SignalBlock no_size_kill(SIGXFSZ); // a file too large fails to write
    CommandLine line;
    // mkostemp keeps the name's length, so the template tells whether the
    // command will be accepted before any file exists.
    if (!format_plot_command(line, shape, plot_control::data_file_template, title))
        return;
    plot_control::NewDataFile file;
    if (!plot_control::create_data_file(file))
        return;
    format_plot_command(line, shape, file.name, title);
    BlockWriter writer(handle, file.fd);
    if (plot_control::keep_data_file(handle, file, write(writer, line)) &&
        plot_control::send_line(handle, line))
        plot_control::count_plot(handle, shape.verb);
}

// Records of the rows of x and y listed, or of every row.
bool write_pair_rows(BlockWriter &writer, const double *x, const double *y, std::size_t count,
                     const std::vector<std::size_t> *rows) {
    const std::size_t records = rows != nullptr ? rows->size() : count;
    return write_records(writer, records, 2, [&](std::size_t i, double *out) {
        const std::size_t row = rows != nullptr ? (*rows)[i] : i;
        *out++ = x[row];
        *out++ = y[row];
        return out;
    });
}

void plot_text(_GNUPLOT_CTRL_ *handle, const Columns &data, const char *title) {
    plot_data(handle, {plot_control::plot_verb(handle), "", handle->style}, title,
              [&](BlockWriter &writer, const CommandLine &) { return write_text(writer, data); });
}

void plot_binary(_GNUPLOT_CTRL_ *handle, const char *verb, const Columns &data, const char *title) {
    PlotShape shape{verb, "", handle->style};
    describe_binary(shape.layout, data.column_count);
    plot_data(handle, shape, title,
              [&](BlockWriter &writer, const CommandLine &) { return write_binary(writer, data); });
}

bool columns_given(const double *const columns[], int column_count) {
    for (int c = 0; c < column_count; ++c) {
        if (columns[c] == nullptr)
            return false;
    }
    return true;
}

// A grid of values, row-major: values[r * columns + c] stands at (x[c],
// y[r]); a null x or y stands for indices.
struct Grid {
    const double *x, *y, *values;
    std::size_t rows, columns;

    double x_at(std::size_t c) const { return x != nullptr ? x[c] : static_cast<double>(c); }
    double y_at(std::size_t r) const { return y != nullptr ? y[r] : static_cast<double>(r); }
    std::size_t cells() const { return rows * columns; }
};

// gnuplot's image assumes evenly spaced coordinates; to a pixel, these are.
bool evenly_spaced(const double *coordinates, std::size_t count) {
    if (coordinates == nullptr)
        return true;
    const double step = (coordinates[count - 1] - coordinates[0]) / static_cast<double>(count - 1);
    for (std::size_t k = 0; k < count; ++k) {
        const double off = coordinates[k] - (coordinates[0] + static_cast<double>(k) * step);
        if (!(std::fabs(off) <= 1e-9 * std::fabs(step)))
            return false;
    }
    return step != 0;
}

// Where cell k's extent along an axis begins: halfway to its neighbour,
// the outer cells as wide again beyond their points.
template <class At> double cell_start(At at, std::size_t k, std::size_t count) {
    if (k == 0)
        return at(0) - (at(1) - at(0)) / 2;
    if (k == count)
        return at(count - 1) + (at(count - 1) - at(count - 2)) / 2;
    return at(k - 1) / 2 + at(k) / 2; // never overflows where the coordinates do not
}

// Records x, y, value per cell.
bool write_points(BlockWriter &writer, const Grid &grid) {
    return write_records(writer, grid.cells(), 3, [&](std::size_t i, double *out) {
        *out++ = grid.x_at(i % grid.columns);
        *out++ = grid.y_at(i / grid.columns);
        *out++ = grid.values[i];
        return out;
    });
}

// Records x, y, value and the cell's extent, for grids gnuplot's image
// cannot draw: x_low, x_high, y_low, y_high.
bool write_cells(BlockWriter &writer, const Grid &grid) {
    const auto x_at = [&](std::size_t c) { return grid.x_at(c); };
    const auto y_at = [&](std::size_t r) { return grid.y_at(r); };
    return write_records(writer, grid.cells(), 7, [&](std::size_t i, double *out) {
        const std::size_t r = i / grid.columns, c = i % grid.columns;
        *out++ = grid.x_at(c);
        *out++ = grid.y_at(r);
        *out++ = grid.values[i];
        *out++ = cell_start(x_at, c, grid.columns);
        *out++ = cell_start(x_at, c + 1, grid.columns);
        *out++ = cell_start(y_at, r, grid.rows);
        *out++ = cell_start(y_at, r + 1, grid.rows);
        return out;
    });
}

// Three points layout: x, y and value of each cell, scan lines a row long.
void describe_points(char (&layout)[96], const Grid &grid) {
    std::snprintf(layout, sizeof layout,
                  " binary record=(%zu,%zu) format=\"%%3float64\" using 1:2:3", grid.columns,
                  grid.rows);
}

void plot_heatmap(_GNUPLOT_CTRL_ *handle, const Grid &grid, const char *title) {
    PlotShape shape{plot_control::plot_verb(handle), "", "image"};
    if (grid.x == nullptr && grid.y == nullptr) { // the values as they lie
        std::snprintf(shape.layout, sizeof shape.layout,
                      " binary array=(%zu,%zu) format=\"%%float64\"", grid.columns, grid.rows);
        plot_data(handle, shape, title, [&](BlockWriter &writer, const CommandLine &) {
            writer.write_through(grid.values, grid.cells() * sizeof(double));
            return writer.finish();
        });
    } else if (evenly_spaced(grid.x, grid.columns) && evenly_spaced(grid.y, grid.rows)) {
        describe_points(shape.layout, grid);
        plot_data(handle, shape, title, [&](BlockWriter &writer, const CommandLine &) {
            return write_points(writer, grid);
        });
    } else {
        std::strcpy(shape.layout, " binary format=\"%7float64\" using 1:2:4:5:6:7:3");
        shape.how = "boxxyerror fillcolor palette fillstyle solid noborder";
        plot_data(handle, shape, title, [&](BlockWriter &writer, const CommandLine &) {
            return write_cells(writer, grid);
        });
    }
}

void plot_surface(_GNUPLOT_CTRL_ *handle, const Grid &grid, const char *title) {
    PlotShape shape{plot_control::plot_verb(handle, "splot"), "", "pm3d"};
    describe_points(shape.layout, grid);
    plot_data(handle, shape, title,
              [&](BlockWriter &writer, const CommandLine &) { return write_points(writer, grid); });
}

Grid grid_of(const double *x, const double *y, const double *values, int rows, int columns) {
    return {x, y, values, static_cast<std::size_t>(rows), static_cast<std::size_t>(columns)};
}

// Every cell's extent a finite number: also false for a coordinate that is
// not, since each one takes part in the extents beside it.
bool cells_finite(const double *coordinates, int count) {
    if (coordinates == nullptr)
        return true;
    const std::size_t n = static_cast<std::size_t>(count);
    const auto at = [&](std::size_t k) { return coordinates[k]; };
    for (std::size_t k = 0; k <= n; ++k) {
        if (!std::isfinite(cell_start(at, k, n)))
            return false;
    }
    return true;
}

// Silent for what is missing; refused, with the message, for a grid gnuplot
// cannot draw as an image or a surface. A coordinate that is not finite, or
// so large that its cell is not, would stretch cells to infinity.
bool grid_drawable(const _GNUPLOT_CTRL_ *handle, const double *x, const double *y,
                   const double *values, int rows, int columns) {
    if (handle == nullptr || values == nullptr || rows < 1 || columns < 1)
        return false;
    if (rows < 2 || columns < 2) {
        plot_control::say("a grid needs at least 2 rows and 2 columns: plot not sent\n");
        return false;
    }
    if (!cells_finite(x, columns) || !cells_finite(y, rows)) {
        plot_control::say("grid coordinates and their cells must be finite: plot not sent\n");
        return false;
    }
    return true;
}

} // namespace

namespace plot_control {

void plot_chosen_pairs(
    _GNUPLOT_CTRL_ *handle, const double *x, const double *y, int count, const char *title,
    const std::vector<std::size_t> &preview,
    const std::function<bool(const CommandLine &, std::vector<std::size_t> &)> &choose) {
    PlotShape shape{plot_verb(handle), "", handle->style};
    describe_binary(shape.layout, 2);
    const std::size_t rows = static_cast<std::size_t>(count);
    plot_data(handle, shape, title, [&](BlockWriter &writer, const CommandLine &line) {
        if (!write_pair_rows(writer, x, y, rows, &preview))
            return false;
        std::vector<std::size_t> chosen;
        const bool some = choose(line, chosen);
        writer.start_over();
        return write_pair_rows(writer, x, y, rows, some ? &chosen : nullptr);
    });
}

bool write_pairs(_GNUPLOT_CTRL_ *handle, int fd, const double *x, const double *y,
                 std::size_t count, const std::vector<std::size_t> *rows) {
    BlockWriter writer(handle, fd);
    return write_pair_rows(writer, x, y, count, rows);
}

} // namespace plot_control

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
        plot_binary(handle, plot_control::plot_verb(handle, "splot"), {columns, column_count, count},
                    title);
}

void gnuplot_plot_grid(_GNUPLOT_CTRL_ *handle, const double *x, const double *y,
                       const double *values, int rows, int columns, const char *title) {
    plot_control::begin_call();
    if (grid_drawable(handle, x, y, values, rows, columns))
        plot_heatmap(handle, grid_of(x, y, values, rows, columns), title);
}

void gnuplot_splot_grid(_GNUPLOT_CTRL_ *handle, const double *x, const double *y,
                        const double *values, int rows, int columns, const char *title) {
    plot_control::begin_call();
    if (grid_drawable(handle, x, y, values, rows, columns))
        plot_surface(handle, grid_of(x, y, values, rows, columns), title);
}

void gnuplot_resetplot(_GNUPLOT_CTRL_ *handle) {
    plot_control::begin_call();
    if (handle == nullptr)
        return;
    plot_control::set_data_files_aside(handle);
    plot_control::forget_plots(handle);
}
