// Line plots reduced to what their pixels show. Drawn as lines, the points
// of one pixel column only ever make a vertical run from their lowest to
// their highest, joined to the columns beside by the first and the last
// point: keeping those four per column (the M4 aggregation) draws the same
// pixels. Outside the plot's ranges gnuplot draws no line between two
// points (unless "set clip two"), so there a run keeps only its ends. The columns are gnuplot's: a
// probe plot of the same line over a file holding only the extreme points (so autoscale and margins
// come out the same) tells where the plot area lies, without touching the caller's output, terminal
// or graph.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "internal.h"

namespace chartlink {
namespace {

// How long a look at the plot area may take before every point is plotted.
constexpr int probe_timeout_ms = 10000;

// Buckets per pixel column: gd's lines fall on whole pixels; antialiased
// lines shade by where within a pixel they run.
constexpr double sharp_buckets = 1;
constexpr double antialiased_buckets = 32;

// How the terminal in force draws: its buckets per pixel column, 0 for no
// pixels at all; whether it writes into the output file; or, for terminals
// that draw no image, that gnuplot_save()'s png stands in for it.
struct Drawing {
    double buckets_per_pixel = 0;
    bool to_file = false;
    bool as_saved_png = false;
};

Drawing drawing_of(const std::string &terminal) {
    static constexpr struct {
        const char *name;
        Drawing drawing;
    } known[] = {{"png", {sharp_buckets, true, false}},
                 {"gif", {sharp_buckets, true, false}},
                 {"jpeg", {sharp_buckets, true, false}},
                 {"sixelgd", {sharp_buckets, true, false}},
                 {"pngcairo", {antialiased_buckets, true, false}},
                 {"x11", {sharp_buckets, false, false}},
                 {"qt", {antialiased_buckets, false, false}},
                 {"wxt", {antialiased_buckets, false, false}},
                 {"unknown", {antialiased_buckets, true, true}},
                 {"dumb", {antialiased_buckets, true, true}}};
    for (const auto &entry : known) {
        if (terminal == entry.name)
            return entry.drawing;
    }
    return {};
}

bool has_line(const std::string &settings, const char *line) {
    return settings.compare(0, std::strlen(line), line) == 0 ||
           settings.find(std::string("\n") + line) != std::string::npos;
}

// Settings under which x does not map linearly onto pixel columns.
bool x_maps_linearly(const std::string &settings) {
    for (std::size_t at = 0; at != std::string::npos; at = settings.find('\n', at + 1)) {
        const char *line = settings.c_str() + at + (settings[at] == '\n');
        if (std::strncmp(line, "set polar", 9) == 0 || std::strncmp(line, "set nonlinear", 13) == 0)
            return false;
        if (std::strncmp(line, "set logscale ", 13) == 0 && std::strchr("xX", line[13]) != nullptr)
            return false;
    }
    return true;
}

// A value asked of gnuplot; false when it gave none in time.
bool ask_text(Handle &handle, Asked::Kind kind, const char *expression, std::string &text) {
    Answer answer;
    if (!value_of(handle, {kind, expression}, probe_timeout_ms, answer))
        return false;
    text = std::move(answer.value);
    return true;
}

// Where gnuplot maps x: terminal units as the plot area's axis has them.
struct Mapping {
    double term_lower = 0, term_upper = 0, scale = 1, min = 0, max = 0;
    double y_low = 0, y_high = 0; // the y range
    bool clip_two = false;        // lines between two points outside are drawn too

    bool inside(double x, double y) const {
        return clip_two ||
               (x >= std::min(min, max) && x <= std::max(min, max) && y >= y_low && y <= y_high);
    }
};

// After the probe: the plot area in terminal units, the x range, and
// whether the probe went without error.
bool read_mapping(Handle &handle, Mapping &mapping) {
    std::string text;
    if (!ask_text(handle, Asked::text,
                  "sprintf(\"%.17g %.17g %.17g %.17g %.17g %.17g %.17g %d\", GPVAL_TERM_XMIN, "
                  "GPVAL_TERM_XMAX, GPVAL_TERM_SCALE, GPVAL_X_MIN, GPVAL_X_MAX, GPVAL_Y_MIN, "
                  "GPVAL_Y_MAX, GPVAL_ERRNO)",
                  text))
        return false;
    double n[8];
    if (!read_numbers(text, n, 8) || n[7] != 0 || !(n[1] > n[0]) || !(n[2] >= 1) || n[3] == n[4] ||
        !std::all_of(n, n + 7, [](double v) { return std::isfinite(v); }))
        return false;
    mapping.term_lower = std::round(n[0] * n[2]);
    mapping.term_upper = std::round(n[1] * n[2]);
    mapping.scale = n[2];
    mapping.min = n[3];
    mapping.max = n[4];
    mapping.y_low = std::min(n[5], n[6]);
    mapping.y_high = std::max(n[5], n[6]);
    return true;
}

// The caller's output file, to be set again after the probe: only one
// that is still empty can be opened afresh without loss.
bool output_reopens(Handle &handle, const std::string &output) {
    if (output.empty())
        return true; // standard output, or none
    std::string path = output;
    if (path[0] != '/') {
        std::string directory;
        if (!ask_text(handle, Asked::text, "GPVAL_PWD", directory))
            return false;
        path = directory + "/" + output;
    }
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_size == 0;
}

bool send_text(Handle &handle, const std::string &text) {
    CommandLine line;
    return format_own_command(line, "%s", text.c_str()) && send_line(&handle.record, line);
}

// Draws the probe into no file (a window shows it until the plot itself
// replaces it), then puts the caller's output and terminal back; false when
// it cannot without disturbing them.
bool probe(Handle &handle, const CommandLine &plot, Drawing &drawing, bool &clip_two) {
    std::string answer, settings;
    if (!ask_text(handle, Asked::text, "GPVAL_TERM.\" \".GPVAL_MULTIPLOT.\" \".GPVAL_OUTPUT",
                  answer) ||
        !ask_text(handle, Asked::settings, nullptr, settings))
        return false;
    const std::size_t first = answer.find(' '), second = answer.find(' ', first + 1);
    if (second == std::string::npos || answer.compare(first + 1, second - first - 1, "0") != 0 ||
        !x_maps_linearly(settings))
        return false;
    clip_two = has_line(settings, "set clip two");
    drawing = drawing_of(answer.substr(0, first));
    const std::string output = answer.substr(second + 1);
    const bool to_file = drawing.to_file;
    if (drawing.buckets_per_pixel == 0 || (to_file && !output_reopens(handle, output)))
        return false;
    std::vector<std::string> lines;
    if (drawing.as_saved_png)
        lines.insert(lines.end(), {"set terminal push", "set terminal pngcairo"});
    if (to_file)
        lines.push_back("set output '/dev/null'");
    lines.push_back(plot.text);
    if (to_file)
        lines.push_back(output.empty() ? "set output"
                                       : "set output " + exact_file_name(output.c_str()));
    if (drawing.as_saved_png)
        lines.push_back("set terminal pop");
    return std::all_of(lines.begin(), lines.end(),
                       [&](const std::string &text) { return send_text(handle, text); });
}

// The rows to keep: per run of rows in one bucket and inside the ranges
// the first, the lowest, the highest and the last, in order; per run
// outside them the first and the last; and every row whose column gnuplot's
// rounding could tell otherwise than ours.
void reduce(const double *x, const double *y, std::size_t count, const Mapping &map,
            double buckets_per_pixel, std::vector<std::size_t> &kept) {
    const double term_scale = (map.term_upper - map.term_lower) / (map.max - map.min);
    const double units_per_bucket = map.scale / buckets_per_pixel;
    const double low = map.term_lower - 4 * map.scale, high = map.term_upper + 4 * map.scale;
    std::size_t first = 0, lowest = 0, highest = 0, last = 0; // of the open group
    bool open = false, group_inside = false;
    long long group_bucket = 0;
    const auto keep = [&](std::size_t row) {
        if (kept.empty() || kept.back() != row)
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
        const double unit = std::trunc(position);
        const long long bucket = static_cast<long long>(std::floor(unit / units_per_bucket));
        const double fraction = position - unit;
        const double margin = 1e-9 * std::max(1.0, std::fabs(position));
        const bool far = position == low || position == high;
        if (!far && (fraction < margin || fraction > 1 - margin)) { // gnuplot may round otherwise
            flush();
            kept.push_back(i);
            continue;
        }
        const bool inside = map.inside(x[i], y[i]);
        if (open && (bucket != group_bucket || inside != group_inside))
            flush();
        if (!open) {
            group_bucket = bucket;
            group_inside = inside;
            first = lowest = highest = i;
            open = true;
        }
        lowest = y[i] < y[lowest] ? i : lowest;
        highest = y[i] > y[highest] ? i : highest;
        last = i;
    }
    flush();
}

// For x ascending and every value a number gnuplot draws: the first and
// last rows and those of the lowest and highest y, in order, which span what
// every row spans. Else false.
bool extremes(const double *x, const double *y, std::size_t count, std::vector<std::size_t> &rows) {
    std::size_t lowest = 0, highest = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (!std::isfinite(x[i]) || !std::isfinite(y[i]) || (i > 0 && x[i] < x[i - 1]))
            return false;
        lowest = y[i] < y[lowest] ? i : lowest;
        highest = y[i] > y[highest] ? i : highest;
    }
    rows = {0, std::min(lowest, highest), std::max(lowest, highest), count - 1};
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return count > 1;
}

void plot_reduced(_GNUPLOT_CTRL_ *handle, const double *x, const double *y, int count,
                  const char *title) {
    const std::size_t rows = static_cast<std::size_t>(count);
    std::vector<std::size_t> preview;
    if (std::strcmp(handle->style, "lines") != 0 || handle->plot_count > 0 ||
        !extremes(x, y, rows, preview)) {
        const double *const pair[] = {x, y};
        gnuplot_plot_columns(handle, pair, 2, count, title);
        return;
    }
    Handle &owner = handle_of(handle);
    plot_chosen_pairs(handle, x, y, count, title, preview,
                      [&](const CommandLine &plot, std::vector<std::size_t> &kept) {
                          Drawing drawing;
                          Mapping mapping;
                          try {
                              if (!probe(owner, plot, drawing, mapping.clip_two) ||
                                  !read_mapping(owner, mapping))
                                  return false;
                              reduce(x, y, rows, mapping, drawing.buckets_per_pixel, kept);
                              return true;
                          } catch (const std::bad_alloc &) {
                              return false;
                          }
                      });
}

} // namespace
} // namespace chartlink

void gnuplot_plot_xy_reduced(_GNUPLOT_CTRL_ *handle, const double *x, const double *y, int count,
                             const char *title) {
    if (handle == nullptr || x == nullptr || y == nullptr || count < 1)
        return;
    try {
        chartlink::plot_reduced(handle, x, y, count, title);
    } catch (const std::bad_alloc &) {
        chartlink::say("cannot allocate memory: plot not sent\n");
    }
}
