// Histograms: the library counts the finite values into equal bins from
// the smallest to the largest, a pass for the extent and one for the
// counts, and draws a box per bin.
#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <vector>

#include "internal/figure.h"
#include "internal/messages.h"

namespace plot_control {
namespace {

// Bins laid out in halves of the values, so that a range as wide as the
// doubles themselves stays finite.
struct Bins {
    double half_low = 0, half_width = 0;
    std::vector<double> counts;

    // Where bin i starts, at a fraction 0 and ends at 1, and its centre at 0.5.
    double at(std::size_t i, double fraction) const {
        return 2 * (half_low + (static_cast<double>(i) + fraction) * half_width);
    }
};

// False when no value is finite.
bool finite_extent(const double *values, std::size_t count, double &low, double &high) {
    low = std::numeric_limits<double>::infinity();
    high = -low;
    for (std::size_t i = 0; i < count; ++i) {
        if (std::isfinite(values[i])) {
            low = std::min(low, values[i]);
            high = std::max(high, values[i]);
        }
    }
    return low <= high;
}

Bins count_into(const double *values, std::size_t count, std::size_t bin_count, double low,
                double high) {
    if (low == high) { // one value: bins around it
        const double half = std::max(0.5, std::fabs(low) * 1e-9);
        low -= half;
        high += half;
    }
    Bins bins;
    bins.half_low = low / 2;
    const double half_span = high / 2 - low / 2;
    bins.half_width = half_span / static_cast<double>(bin_count);
    bins.counts.assign(bin_count, 0);
    // A span of a few subnormals has no finite reciprocal: divide then.
    const double per_half = static_cast<double>(bin_count) / half_span;
    const bool multiply = std::isfinite(per_half);
    const std::size_t last = bin_count - 1;
    for (std::size_t i = 0; i < count; ++i) {
        const double value = values[i];
        if (!std::isfinite(value))
            continue;
        const double offset = value / 2 - bins.half_low;
        const double at =
            multiply ? offset * per_half : offset / half_span * static_cast<double>(bin_count);
        bins.counts[std::min(static_cast<std::size_t>(at), last)] += 1;
    }
    return bins;
}

} // namespace
} // namespace plot_control

void gnuplot_plot_histogram(_GNUPLOT_CTRL_ *handle, const double *values, int count, int bins,
                            const char *title) {
    plot_control::begin_call();
    double low = 0, high = 0;
    if (handle == nullptr || values == nullptr || count < 1 || bins < 1)
        return;
    if (bins > CHARTLINK_MAX_BINS) { // more than any image has pixels
        plot_control::say_formatted("too many bins (at most %d): plot not sent\n",
                                    CHARTLINK_MAX_BINS);
        return;
    }
    if (!plot_control::finite_extent(values, static_cast<std::size_t>(count), low, high))
        return;
    try {
        const plot_control::Bins counted = plot_control::count_into(
            values, static_cast<std::size_t>(count), static_cast<std::size_t>(bins), low, high);
        plot_control::plot_boxes(
            handle, counted.counts.size(),
            [&](std::size_t i, double *out) {
                return plot_control::box(out, counted.at(i, 0.5), counted.counts[i],
                                         counted.at(i, 0), counted.at(i, 1));
            },
            nullptr, title);
    } catch (const std::bad_alloc &) {
        plot_control::say("cannot allocate memory: plot not sent\n");
    }
}
