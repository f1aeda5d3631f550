// The pure core of reduced plots: which rows to keep, and which rows a probe
// needs, from the numbers and gnuplot's settings text alone.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>
#include <string_view>

#include "internal/reduction.h"

namespace plot_control {
namespace {

// Values beyond this, or ranges narrower than this part of their values,
// make gnuplot warn (overflow, empty range, tics too fine): every point.
constexpr double largest_value = 1e300;
constexpr double narrowest_span = 1e-9;

// The probe takes every row this close to a fixed end (see end_uncertainty),
// up to this many.
constexpr std::size_t most_uncertain_rows = 100000;

// The settings text, line by line.
template <class Visit> bool every_line(const std::string &text, Visit visit) {
    for (std::size_t at = 0; at < text.size();) {
        std::size_t end = text.find('\n', at);
        end = end == std::string::npos ? text.size() : end;
        if (!visit(std::string_view(text).substr(at, end - at)))
            return false;
        at = end + 1;
    }
    return true;
}

bool starts_with(std::string_view line, std::string_view start) {
    return line.substr(0, start.size()) == start;
}

// "[ <low> : <high> ] ...": each end "*" or a number.
bool read_range(std::string_view text, Range &range) {
    const std::size_t colon = text.find(" : "), close = text.find(" ]");
    if (!starts_with(text, "[ ") || colon == std::string_view::npos || close < colon)
        return false;
    const std::string_view ends[] = {text.substr(2, colon - 2),
                                     text.substr(colon + 3, close - colon - 3)};
    for (int end = 0; end < 2; ++end) {
        range.fixed[end] = ends[end] != "*";
        if (!range.fixed[end])
            continue;
        const char *last = ends[end].data() + ends[end].size();
        const auto [stop, error] = std::from_chars(ends[end].data(), last, range.ends[end]);
        if (error != std::errc() || stop != last || !std::isfinite(range.ends[end]))
            return false;
    }
    if (range.fixed[0] && range.fixed[1] && range.ends[0] > range.ends[1])
        std::swap(range.ends[0], range.ends[1]); // a reversed range holds the same points
    return true;
}

// A span gnuplot autoscales or draws without a warning.
bool wide_enough(double low, double high) {
    return high - low > narrowest_span * std::max(std::fabs(low), std::fabs(high));
}

} // namespace

// Reads `save set`; false for settings under which the probe would not
// draw as the plot: nonlinear or polar axes, a fixed aspect ratio (whose
// warnings it would repeat), user line styles, or a dashed linetype 1 (its
// dashes follow the path's length, which the reduction shortens).
bool read_settings(const std::string &text, int style_line, Settings &settings) {
    const std::string copy = "set style line " + std::to_string(style_line) + " ";
    return every_line(text, [&](std::string_view line) {
        if (starts_with(line, "set xrange "))
            return read_range(line.substr(11), settings.x);
        if (starts_with(line, "set yrange "))
            return read_range(line.substr(11), settings.y);
        if (starts_with(line, copy))
            return line.find(" dashtype solid ") != std::string_view::npos;
        if (starts_with(line, "set size ratio "))
            return starts_with(line.substr(15), "0 ");
        settings.clip_two = settings.clip_two || line == "set clip two";
        return !starts_with(line, "set polar") && !starts_with(line, "set logscale ") &&
               !starts_with(line, "set nonlinear ") &&
               !starts_with(line, "set style increment user");
    });
}

// The rows to keep: per run of rows in one bucket and inside the ranges
// the first, the lowest, the highest and the last, in order; per run
// outside them the first and the last; and every row whose column gnuplot's
// rounding could tell otherwise than ours.
void reduce(const double *x, const double *y, std::size_t count, const Mapping &map,
            std::vector<std::size_t> &kept) {
    const double term_scale = (map.term_upper - map.term_lower) / (map.max - map.min);
    const double units_per_bucket = map.scale; // a bucket per pixel column
    const double low = map.term_lower - 4 * map.scale, high = map.term_upper + 4 * map.scale;
    std::size_t first = 0, lowest = 0, highest = 0, last = 0; // of the open group
    double low_y = 0, high_y = 0;
    bool open = false, group_inside = false;
    long long group_bucket = 0;
    const auto keep = [&](std::size_t row) {
        if ((kept.empty() || row > kept.back()) && row < count)
            kept.push_back(row);
    };
    const auto flush = [&] {
        if (open) {
            keep(first);
            if (group_inside) {
                keep(std::min(lowest, highest));
                keep(std::max(lowest, highest));
            }
            keep(last);
        }
        open = false;
    };
    for (std::size_t i = 0; i < count; ++i) {
        // Far beyond the plot area, one bucket on either side will do.
        const double position =
            std::clamp(map.term_lower + (x[i] - map.min) * term_scale + 0.5, low, high);
        // Conversions rather than trunc() and floor(), which are calls on
        // plain x86-64: this loop runs once per point.
        const double unit = static_cast<double>(static_cast<long long>(position));
        const double share = unit / units_per_bucket;
        long long bucket = static_cast<long long>(share);
        bucket -= share < static_cast<double>(bucket);
        const double fraction = position - unit;
        const double margin = 1e-9 * std::max(1.0, std::fabs(position));
        const bool far = position == low || position == high;
        if (!far && (fraction < margin || fraction > 1 - margin)) { // gnuplot may round otherwise
            flush();
            keep(i);
            continue;
        }
        const bool inside = map.inside(x[i], y[i]);
        if (open && (bucket != group_bucket || inside != group_inside))
            flush();
        if (!open) {
            group_bucket = bucket;
            group_inside = inside;
            first = lowest = highest = i;
            low_y = high_y = y[i];
            open = true;
        }
        if (y[i] < low_y) {
            low_y = y[i];
            lowest = i;
        }
        if (y[i] > high_y) {
            high_y = y[i];
            highest = i;
        }
        last = i;
    }
    flush();
}

// x ascending, and every value a number gnuplot draws without overflow.
bool drawable_series(const double *x, const double *y, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        if (!(std::fabs(x[i]) <= largest_value) || !(std::fabs(y[i]) <= largest_value) ||
            (i > 0 && x[i] < x[i - 1]))
            return false;
    }
    return count > 1;
}

// The rows whose autoscale is the full plot's: of those inside a fixed x
// range, the first, the last, the lowest and the highest, and every row
// near a fixed end (which side it falls is gnuplot's to say); also the
// first and last of all. False where the plot would warn or plot nothing:
// no row surely inside the x range, none of those inside a fixed y range,
// or a range gnuplot finds empty or too narrow.
bool probe_rows(const double *x, const double *y, std::size_t count, const Settings &settings,
                std::vector<std::size_t> &rows) {
    const Range &xr = settings.x, &yr = settings.y;
    const auto row_of = [&](double value) {
        return static_cast<std::size_t>(std::lower_bound(x, x + count, value) - x);
    };
    const std::size_t maybe_first = xr.fixed[0] ? row_of(xr.low() - xr.slack(0)) : 0,
                      sure_first = xr.fixed[0] ? row_of(xr.low() + xr.slack(0)) : 0;
    // Rows up to sure_last are surely inside; up to maybe_last, maybe.
    const std::size_t sure_last = xr.fixed[1] ? row_of(xr.high() - xr.slack(1)) : count,
                      maybe_last =
                          xr.fixed[1]
                              ? static_cast<std::size_t>(
                                    std::upper_bound(x, x + count, xr.high() + xr.slack(1)) - x)
                              : count;
    if (sure_first >= sure_last ||
        (sure_first - maybe_first) + (maybe_last - sure_last) > most_uncertain_rows)
        return false;
    std::size_t lowest = sure_first, highest = sure_first;
    bool some_inside_y = false;
    for (std::size_t i = sure_first; i < sure_last; ++i) {
        lowest = y[i] < y[lowest] ? i : lowest;
        highest = y[i] > y[highest] ? i : highest;
        some_inside_y = some_inside_y || (y[i] > yr.low() + yr.slack(0) * yr.fixed[0] &&
                                          y[i] < yr.high() - yr.slack(1) * yr.fixed[1]);
    }
    const double x_low = xr.fixed[0] ? xr.low() : x[maybe_first],
                 x_high = xr.fixed[1] ? xr.high() : x[maybe_last - 1],
                 y_low = yr.fixed[0] ? yr.low() : y[lowest],
                 y_high = yr.fixed[1] ? yr.high() : y[highest];
    if (!some_inside_y || !wide_enough(x_low, x_high) || !wide_enough(y_low, y_high))
        return false;
    rows = {0, sure_first, lowest, highest, sure_last - 1, count - 1};
    for (std::size_t i = maybe_first; i < sure_first; ++i)
        rows.push_back(i);
    for (std::size_t i = sure_last; i < maybe_last; ++i)
        rows.push_back(i);
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return true;
}

} // namespace plot_control
