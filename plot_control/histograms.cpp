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

// Bins by their edges, exactly as drawn: a value counts in the bin whose
// [start, end) holds it, the largest in the last.
struct Bins {
    std::vector<double> edges; // bins + 1, ascending, finite
    std::vector<double> counts;

    double centre(std::size_t i) const { return edges[i] / 2 + edges[i + 1] / 2; }
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

// One value: bins around it, or beside it where around would leave the
// doubles.
void widen(double &low, double &high) {
    const double half = std::max(0.5, std::fabs(low) * 1e-9);
    const double value = low;
    low = value - half;
    high = value + half;
    if (!std::isfinite(high)) {
        high = value;
        low = value - 2 * half;
    } else if (!std::isfinite(low)) {
        low = value;
        high = value + 2 * half;
    }
}

// Each edge a weighted mean of the ends, which stays finite however wide
// the range; rounding cannot make them descend.
std::vector<double> edges_of(double low, double high, std::size_t bin_count) {
    std::vector<double> edges(bin_count + 1);
    const double bins = static_cast<double>(bin_count);
    edges[0] = low;
    for (std::size_t i = 1; i < bin_count; ++i) {
        const double t = static_cast<double>(i) / bins;
        edges[i] = std::max(edges[i - 1], low * (1 - t) + high * t);
    }
    edges[bin_count] = high;
    return edges;
}

// The bin whose [start, end) holds value, the last holding the largest too:
// the guess from the arithmetic, or a bin beside it, else a search (the
// edges of a span of a few subnormals are far from any guess).
std::size_t bin_of(const std::vector<double> &edges, double value, double guess) {
    const std::size_t last = edges.size() - 2;
    const auto holds = [&](std::size_t bin) {
        return edges[bin] <= value && (bin == last || value < edges[bin + 1]);
    };
    const std::size_t near =
        guess >= 1 ? static_cast<std::size_t>(std::min(guess, static_cast<double>(last))) : 0;
    if (holds(near))
        return near;
    if (near < last && holds(near + 1))
        return near + 1;
    if (near > 0 && holds(near - 1))
        return near - 1;
    return static_cast<std::size_t>(std::upper_bound(edges.begin() + 1, edges.end() - 1, value) -
                                    (edges.begin() + 1));
}

Bins count_into(const double *values, std::size_t count, std::size_t bin_count, double low,
                double high) {
    if (low == high)
        widen(low, high);
    Bins bins;
    bins.edges = edges_of(low, high, bin_count);
    bins.counts.assign(bin_count, 0);
    // In halves, so that a range as wide as the doubles stays finite.
    const double per_half = static_cast<double>(bin_count) / (high / 2 - low / 2);
    for (std::size_t i = 0; i < count; ++i) {
        const double value = values[i];
        if (std::isfinite(value))
            bins.counts[bin_of(bins.edges, value, (value / 2 - low / 2) * per_half)] += 1;
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
                return plot_control::box(out, counted.centre(i), counted.counts[i],
                                         counted.edges[i], counted.edges[i + 1]);
            },
            nullptr, title);
    } catch (const std::bad_alloc &) {
        plot_control::say("cannot allocate memory: plot not sent\n");
    }
}
