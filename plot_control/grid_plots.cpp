// Plots of a grid of values: a heatmap (an image, or boxes where the grid is
// not evenly spaced) or a surface.
#include <cmath>
#include <cstdio>
#include <cstring>

#include "internal/data_file_plot.h"
#include "internal/data_writer.h"
#include "internal/graph.h"
#include "internal/messages.h"

namespace plot_control {
namespace {

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
    PlotShape shape{plot_verb(handle), "", "image"};
    if (grid.x == nullptr && grid.y == nullptr) { // the values as they lie
        std::snprintf(shape.layout, sizeof shape.layout,
                      " binary array=(%zu,%zu) format=\"%%float64\"", grid.columns, grid.rows);
        plot_data(handle, shape, title, [&](BlockWriter &writer) {
            writer.write_through(grid.values, grid.cells() * sizeof(double));
            return writer.finish();
        });
    } else if (evenly_spaced(grid.x, grid.columns) && evenly_spaced(grid.y, grid.rows)) {
        describe_points(shape.layout, grid);
        plot_data(handle, shape, title,
                  [&](BlockWriter &writer) { return write_points(writer, grid); });
    } else {
        std::strcpy(shape.layout, " binary format=\"%7float64\" using 1:2:4:5:6:7:3");
        shape.how = "boxxyerror fillcolor palette fillstyle solid noborder";
        plot_data(handle, shape, title,
                  [&](BlockWriter &writer) { return write_cells(writer, grid); });
    }
}

void plot_surface(_GNUPLOT_CTRL_ *handle, const Grid &grid, const char *title) {
    PlotShape shape{plot_verb(handle, "splot"), "", "pm3d"};
    describe_points(shape.layout, grid);
    plot_data(handle, shape, title,
              [&](BlockWriter &writer) { return write_points(writer, grid); });
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
        say("a grid needs at least 2 rows and 2 columns: plot not sent\n");
        return false;
    }
    if (!cells_finite(x, columns) || !cells_finite(y, rows)) {
        say("grid coordinates and their cells must be finite: plot not sent\n");
        return false;
    }
    return true;
}

} // namespace
} // namespace plot_control

void gnuplot_plot_grid(_GNUPLOT_CTRL_ *handle, const double *x, const double *y,
                       const double *values, int rows, int columns, const char *title) {
    plot_control::begin_call();
    if (plot_control::grid_drawable(handle, x, y, values, rows, columns))
        plot_control::plot_heatmap(handle, plot_control::grid_of(x, y, values, rows, columns),
                                   title);
}

void gnuplot_splot_grid(_GNUPLOT_CTRL_ *handle, const double *x, const double *y,
                        const double *values, int rows, int columns, const char *title) {
    plot_control::begin_call();
    if (plot_control::grid_drawable(handle, x, y, values, rows, columns))
        plot_control::plot_surface(handle, plot_control::grid_of(x, y, values, rows, columns),
                                   title);
}
