// The reduction of a line plot to what its pixels show, and the choice of
// the rows a probe plot needs: functions of numbers and of gnuplot's
// settings text alone, with no gnuplot to ask; provided by reduction.cpp.
#ifndef PLOT_CONTROL_REDUCTION_H
#define PLOT_CONTROL_REDUCTION_H

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <string>
#include <vector>

namespace plot_control {

// A range end read back from `save set` has 6 significant digits: points
// this close to it may lie on either side.
constexpr double end_uncertainty = 1e-5;

// An axis range as the caller set it: each end fixed or autoscaled ("*").
struct Range {
    double ends[2] = {0, 0};
    bool fixed[2] = {false, false};

    double low() const { return fixed[0] ? ends[0] : -std::numeric_limits<double>::infinity(); }
    double high() const { return fixed[1] ? ends[1] : std::numeric_limits<double>::infinity(); }
    // How far the true end may lie from the one read.
    double slack(int end) const { return std::fabs(ends[end]) * end_uncertainty; }
};

// What the probe needs of the caller's settings.
struct Settings {
    Range x, y;
    bool clip_two = false; // lines between two points outside are drawn too
};

// Reads `save set`; false for settings under which the probe would not
// draw as the plot: nonlinear or polar axes, a fixed aspect ratio (whose
// warnings it would repeat), user line styles, or a dashed linetype 1 (its
// dashes follow the path's length, which the reduction shortens), copied
// into style line `style_line`.
bool read_settings(const std::string &text, int style_line, Settings &settings);

// x ascending, and every value a number gnuplot draws without overflow.
bool drawable_series(const double *x, const double *y, std::size_t count);

// The rows whose autoscale is the full plot's: of those inside a fixed x
// range, the first, the last, the lowest and the highest, and every row
// near a fixed end (which side it falls is gnuplot's to say); also the
// first and last of all. False where the plot would warn or plot nothing:
// no row surely inside the x range, none of those inside a fixed y range,
// or a range gnuplot finds empty or too narrow.
bool probe_rows(const double *x, const double *y, std::size_t count, const Settings &settings,
                std::vector<std::size_t> &rows);

// Where gnuplot maps x: terminal units as the plot area's axis has them.
struct Mapping {
    double term_lower = 0, term_upper = 0, scale = 1, min = 0, max = 0;
    double y_low = 0, y_high = 0; // the y range
    bool clip_two = false;

    bool inside(double x, double y) const {
        return clip_two ||
               (x >= std::min(min, max) && x <= std::max(min, max) && y >= y_low && y <= y_high);
    }
};

// The rows to keep: per run of rows in one bucket and inside the ranges
// the first, the lowest, the highest and the last, in order; per run
// outside them the first and the last; and every row whose column gnuplot's
// rounding could tell otherwise than ours.
void reduce(const double *x, const double *y, std::size_t count, const Mapping &map,
            std::vector<std::size_t> &kept);

} // namespace plot_control

#endif
