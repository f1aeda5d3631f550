// Line plots reduced to what their pixels show. Drawn as lines, the points
// of one pixel column only ever make a vertical run from their lowest to
// their highest, joined to the columns beside by the first and the last
// point: keeping those four per column (the M4 aggregation) draws the same
// pixels. Outside the plot's ranges gnuplot draws no line between two
// points (unless "set clip two"), so there a run keeps only its ends.
// The columns are gnuplot's: a probe plot of the same line over a file of
// the points that decide autoscale tells where the plot area lies, without
// touching the caller's output, terminal or graph. Whatever gnuplot would
// draw or print differently for the probe (warnings, a table, dashes, an
// animation) makes the plot send every point instead.
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include "internal.h"

namespace plot_control {
namespace {

// How long a look at the plot area may take before every point is plotted.
constexpr int probe_timeout_ms = 10000;

// Values beyond this, or ranges narrower than this part of their values,
// make gnuplot warn (overflow, empty range, tics too fine): every point.
constexpr double largest_value = 1e300;
constexpr double narrowest_span = 1e-9;

// A range end read back from `save set` has 6 significant digits: points
// this close to it may lie on either side, so the probe takes them all,
// up to this many.
constexpr double end_uncertainty = 1e-5;
constexpr std::size_t most_uncertain_rows = 100000;

// The style line the probe copies linetype 1 into, to see its dashes.
constexpr int first_spare_style_line = 31999;

// How the terminal in force draws: whether it sets whole pixels, the one
// kind of drawing whose every pixel the reduced points reproduce (an
// antialiased line shades by where within a pixel it runs, and a terminal
// of character cells is no 640-pixel image); whether it writes into the
// output file.
struct Drawing {
    bool whole_pixels = false;
    bool to_file = false;
};

Drawing drawing_of(const std::string &terminal) {
    static constexpr struct {
        const char *name;
        Drawing drawing;
    } known[] = {{"png", {true, true}},
                 {"gif", {true, true}},
                 {"jpeg", {true, true}},
                 {"sixelgd", {true, true}},
                 {"x11", {true, false}}};
    for (const auto &entry : known) {
        if (terminal == entry.name)
            return entry.drawing;
    }
    return {};
}

// The terminal in force, as gnuplot reports it.
struct Terminal {
    std::string name, options, output;
    bool multiplot = false;
};

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

// A value asked of gnuplot; false when it gave none in time.
bool ask_text(Handle &handle, Asked::Kind kind, const char *expression, std::string &text) {
    Answer answer;
    if (!value_of(handle, {kind, expression}, probe_timeout_ms, answer))
        return false;
    text = std::move(answer.value);
    return true;
}

bool send_text(Handle &handle, const std::string &text) {
    CommandLine line;
    return format_own_command(line, "%s", text.c_str()) && send_line(&handle.record, line);
}

// Name, multiplot, output and options, a line each: only the output may
// hold a line break.
bool ask_terminal(Handle &handle, Terminal &terminal) {
    std::string text;
    if (!ask_text(
            handle, Asked::text,
            "GPVAL_TERM.\"\\n\".GPVAL_MULTIPLOT.\"\\n\".GPVAL_OUTPUT.\"\\n\".GPVAL_TERMOPTIONS",
            text))
        return false;
    const std::size_t first = text.find('\n'), second = text.find('\n', first + 1),
                      last = text.rfind('\n');
    if (second == std::string::npos || last == second)
        return false;
    terminal.name = text.substr(0, first);
    terminal.multiplot = text.compare(first + 1, second - first - 1, "0") != 0;
    terminal.output = text.substr(second + 1, last - second - 1);
    terminal.options = text.substr(last + 1);
    return true;
}

// The caller's settings, with linetype 1 copied into a style line the
// caller does not use, for its dashes, and removed again.
bool ask_settings(Handle &handle, Settings &settings) {
    std::string before, text;
    if (!ask_text(handle, Asked::settings, nullptr, before))
        return false;
    int spare = first_spare_style_line;
    while (before.find("set style line " + std::to_string(spare) + " ") != std::string::npos)
        ++spare;
    const std::string line = std::to_string(spare);
    const bool asked = send_text(handle, "set style line " + line + " linetype 1") &&
                       ask_text(handle, Asked::settings, nullptr, text);
    return send_text(handle, "unset style line " + line) && asked &&
           text.find("set style line " + line + " ") != std::string::npos &&
           read_settings(text, spare, settings);
}

// The file a name gnuplot was given stands for, as gnuplot would open it.
bool identify(Handle &handle, const std::string &name, struct stat &info) {
    std::string path = name;
    if (path[0] != '/') {
        std::string directory;
        if (!ask_text(handle, Asked::text, "GPVAL_PWD", directory))
            return false;
        path = directory + "/" + name;
    }
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool same_file(const struct stat &one, const struct stat &other) {
    return one.st_dev == other.st_dev && one.st_ino == other.st_ino;
}

// A file gnuplot holds open for writing as descriptor fd, beyond standard
// output and error, which it did not get from us: not one this process
// holds as the same descriptor.
bool opened_by_gnuplot(const std::string &directory, const char *fd, struct stat &info) {
    const std::string link = directory + "/" + fd;
    struct stat mode {
    }, ours{};
    return std::atoi(fd) > 2 && stat(link.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           lstat(link.c_str(), &mode) == 0 && (mode.st_mode & S_IWUSR) != 0 &&
           !(fstat(std::atoi(fd), &ours) == 0 && same_file(info, ours));
}

// The process opened no file for writing but the output.
bool writes_only(const std::string &process, const struct stat *output) {
    const std::string directory = "/proc/" + process + "/fd";
    DIR *listing = opendir(directory.c_str());
    if (listing == nullptr)
        return false;
    bool only = true;
    while (const dirent *entry = readdir(listing)) {
        struct stat info {};
        if (opened_by_gnuplot(directory, entry->d_name, info))
            only = only && output != nullptr && same_file(info, *output);
    }
    closedir(listing);
    return only;
}

// gnuplot has opened no file for writing but the output: no table, no print
// file, that the probe could write into. Seen in /proc, in the shell that
// started it and the shell's children; a table into a datablock stays
// unseen.
bool writes_only_output(const Handle &handle, const struct stat *output) {
    const std::string shell = std::to_string(handle.gnuplot_pid);
    std::FILE *children =
        std::fopen(("/proc/" + shell + "/task/" + shell + "/children").c_str(), "re");
    if (children == nullptr)
        return false;
    bool only = writes_only(shell, output);
    for (long child; only && std::fscanf(children, "%ld", &child) == 1;)
        only = writes_only(std::to_string(child), output);
    std::fclose(children);
    return only;
}

// The caller's output file, to be set again after the probe: only one
// that is still empty (or /dev/null) can be opened afresh without loss.
bool output_allows_probe(Handle &handle, const Terminal &terminal, bool to_file) {
    struct stat info {};
    if (!to_file || terminal.output.empty() || terminal.output == "/dev/null")
        return writes_only_output(handle, nullptr);
    return identify(handle, terminal.output, info) && info.st_size == 0 &&
           writes_only_output(handle, &info);
}

// Draws the probe into no file (a window shows it until the plot itself
// replaces it), then sets the caller's output again: all in one write, or
// nothing when the lines cannot be made or sent so.
bool probe(Handle &handle, const CommandLine &plot, const Terminal &terminal,
           const Drawing &drawing) {
    const CommandLine *const alone[] = {&plot};
    if (!drawing.to_file)
        return send_lines_by(&handle.record, alone, 1, Deadline(-1));
    CommandLine to_nothing, to_output;
    const std::string output = terminal.output.empty()
                                   ? "set output"
                                   : "set output " + exact_file_name(terminal.output.c_str());
    if (!format_own_command(to_nothing, "set output '/dev/null'") ||
        !format_own_command(to_output, "%s", output.c_str()))
        return false;
    const CommandLine *const lines[] = {&to_nothing, &plot, &to_output};
    return send_lines_by(&handle.record, lines, std::size(lines), Deadline(-1));
}

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

// After the probe: the plot area in terminal units, the x range, and
// whether the probe went without error.
bool read_mapping(Handle &handle, Mapping &mapping) {
    std::string text;
    if (!ask_text(handle, Asked::text,
                  // A probe that failed may have left no plot area to tell.
                  "exists(\"GPVAL_TERM_XMIN\") ? sprintf(\"%.17g %.17g %.17g %.17g %.17g "
                  "%.17g %.17g %d\", GPVAL_TERM_XMIN, GPVAL_TERM_XMAX, GPVAL_TERM_SCALE, "
                  "GPVAL_X_MIN, GPVAL_X_MAX, GPVAL_Y_MIN, GPVAL_Y_MAX, GPVAL_ERRNO) : \"\"",
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

// A span gnuplot autoscales or draws without a warning.
bool wide_enough(double low, double high) {
    return high - low > narrowest_span * std::max(std::fabs(low), std::fabs(high));
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

// What the probe needs to know before it plots, asked of gnuplot; false
// where the probe cannot stand in for the plot.
bool prepare_probe(Handle &handle, const double *x, const double *y, std::size_t count,
                   Terminal &terminal, Settings &settings, Drawing &drawing,
                   std::vector<std::size_t> &preview) {
    if (!ask_terminal(handle, terminal) || terminal.multiplot ||
        terminal.options.find("animate") != std::string::npos)
        return false;
    drawing = drawing_of(terminal.name);
    return drawing.whole_pixels && output_allows_probe(handle, terminal, drawing.to_file) &&
           ask_settings(handle, settings) && probe_rows(x, y, count, settings, preview);
}

// A block at a time: the system takes large writes no faster.
bool write_in_blocks(int fd, const double *values, std::size_t bytes) {
    const char *data = reinterpret_cast<const char *>(values);
    for (std::size_t done = 0; done < bytes; done += data_block_size) {
        if (!write_all(fd, data + done, std::min(data_block_size, bytes - done)))
            return false;
    }
    return true;
}

// Every x into an unlisted owner-only file of their own, for saves; -1
// when they cannot be kept.
int write_every_x(const double *x, std::size_t count) {
    const int fd =
        move_off_standard_streams(open("/tmp", O_TMPFILE | O_RDWR | O_CLOEXEC, S_IRUSR | S_IWUSR));
    if (fd != -1 && !write_in_blocks(fd, x, count * sizeof(double))) {
        close(fd);
        return -1;
    }
    return fd;
}

// A descriptor closed with its owner unless handed on.
struct OwnedFd {
    int fd;
    void close_now() {
        if (fd != -1)
            close(fd);
        fd = -1;
    }
    ~OwnedFd() { close_now(); }
};

// After a reduced plot went out: the handle keeps every point, in the file
// from write_every_x() with every y and the reduced rows' records
// appended, for saves; says so when it cannot.
void keep_every_point(Handle &handle, OwnedFd &kept, const double *x, const double *y,
                      std::size_t count, const std::vector<std::size_t> &reduced) {
    ReducedCurve &curve = handle.reduced;
    curve.forget();
    if (kept.fd == -1 || !write_in_blocks(kept.fd, y, count * sizeof(double)) ||
        !write_pairs(&handle.record, kept.fd, x, y, count, &reduced)) {
        plot_control::warn("cannot keep every point for saves: they draw the reduced ones\n");
        return;
    }
    curve.fd = std::exchange(kept.fd, -1);
    curve.data_file = handle.record.temp_files[handle.record.temp_file_count - 1];
    curve.every_bytes = count * 2 * sizeof(double);
    curve.reduced_bytes = reduced.size() * 2 * sizeof(double);
}

void plot_reduced(_GNUPLOT_CTRL_ *handle, const double *x, const double *y, int count,
                  const char *title) {
    const std::size_t rows = static_cast<std::size_t>(count);
    Handle &owner = handle_of(handle);
    Terminal terminal;
    Settings settings;
    Drawing drawing;
    std::vector<std::size_t> preview, reduced;
    if (std::strcmp(handle->style, "lines") != 0 || handle->plot_count > 0 ||
        !drawable_series(x, y, rows)) {
        const double *const pair[] = {x, y};
        gnuplot_plot_columns(handle, pair, 2, count, title);
        return;
    }
    // x is kept while gnuplot may still be starting, y while it draws.
    OwnedFd every_point{write_every_x(x, rows)};
    if (!prepare_probe(owner, x, y, rows, terminal, settings, drawing, preview)) {
        every_point.close_now(); // its descriptor may be the one the plot needs
        const double *const pair[] = {x, y};
        gnuplot_plot_columns(handle, pair, 2, count, title);
        return;
    }
    const int files_before = handle->temp_file_count;
    plot_chosen_pairs(handle, x, y, count, title, preview,
                      [&](const CommandLine &plot, std::vector<std::size_t> &kept) {
                          Mapping mapping;
                          mapping.clip_two = settings.clip_two;
                          try {
                              if (!probe(owner, plot, terminal, drawing) ||
                                  !read_mapping(owner, mapping))
                                  return false;
                              reduce(x, y, rows, mapping, kept);
                              reduced = kept;
                              return true;
                          } catch (const std::bad_alloc &) {
                              return false;
                          }
                      });
    if (!reduced.empty() && handle->temp_file_count == files_before + 1)
        keep_every_point(owner, every_point, x, y, rows, reduced);
}

// What the handle knows of the curve's file while it is the graph's (in
// the table, or on screen), and it is still the file the handle made; else
// null.
FileFacts *facts_of(Handle &handle, const ReducedCurve &curve) {
    _GNUPLOT_CTRL_ &record = handle.record;
    FileFacts *facts = nullptr;
    for (int slot = 0; slot < record.temp_file_count; ++slot) {
        if (curve.data_file == record.temp_files[slot])
            facts = &handle.table[slot];
    }
    for (NamedFile &file : handle.shown) {
        if (curve.data_file == file.name)
            facts = &file.facts;
    }
    struct stat info {};
    const bool same = facts != nullptr && lstat(curve.data_file.c_str(), &info) == 0 &&
                      info.st_dev == facts->identity.device && info.st_ino == facts->identity.inode;
    return same ? facts : nullptr;
}

// Appends to `to` `bytes` bytes of `from` starting at `offset`.
bool copy_part(int from, off_t offset, std::size_t bytes, int to) {
    while (bytes > 0) {
        const ssize_t copied = sendfile(to, from, &offset, bytes);
        if (copied < 0 && errno == EINTR)
            continue;
        if (copied <= 0)
            return false;
        bytes -= static_cast<std::size_t>(copied);
    }
    return true;
}

// Writes records of every row from the kept x and y, through the handle's
// block: a quarter for x, one for y, half for the records.
bool write_every_row(Handle &handle, int to) {
    const ReducedCurve &curve = handle.reduced;
    const std::size_t count = curve.every_bytes / (2 * sizeof(double));
    constexpr std::size_t rows = data_block_size / (4 * sizeof(double));
    double *const x = handle.data_block, *const y = x + rows, *const records = y + rows;
    for (std::size_t first = 0; first < count; first += rows) {
        const std::size_t n = std::min(rows, count - first), bytes = n * sizeof(double);
        const off_t at = static_cast<off_t>(first * sizeof(double));
        if (pread(curve.fd, x, bytes, at) != static_cast<ssize_t>(bytes) ||
            pread(curve.fd, y, bytes, at + static_cast<off_t>(count * sizeof(double))) !=
                static_cast<ssize_t>(bytes))
            return false;
        for (std::size_t i = 0; i < n; ++i) {
            records[2 * i] = x[i];
            records[2 * i + 1] = y[i];
        }
        if (!write_all(to, reinterpret_cast<const char *>(records), 2 * bytes))
            return false;
    }
    return true;
}

// Replaces the curve's data file, in one step that gnuplot never sees half
// done (it may still be reading it for a plot sent earlier), with every
// row or the reduced ones.
bool replace_data_file(Handle &handle, bool every_row) {
    ReducedCurve &curve = handle.reduced;
    FileFacts *facts = facts_of(handle, curve);
    NewDataFile file;
    if (facts == nullptr || !make_data_file(file))
        return false;
    struct stat info {};
    const bool copied = (every_row ? write_every_row(handle, file.fd)
                                   : copy_part(curve.fd, static_cast<off_t>(curve.every_bytes),
                                               curve.reduced_bytes, file.fd)) &&
                        fstat(file.fd, &info) == 0;
    if (close(file.fd) != 0 || !copied || rename(file.name, curve.data_file.c_str()) != 0) {
        std::remove(file.name);
        return false;
    }
    facts->identity = {info.st_dev, info.st_ino};
    return true;
}

} // namespace

void ReducedCurve::forget() {
    if (fd != -1)
        close(fd);
    fd = -1;
    data_file.clear();
}

EveryPointDrawn::EveryPointDrawn(Handle &handle)
    : handle_(handle), swapped_(handle.reduced.fd != -1 && replace_data_file(handle, true)) {}

EveryPointDrawn::~EveryPointDrawn() {
    if (swapped_)
        replace_data_file(handle_, false);
}

} // namespace plot_control

void gnuplot_plot_xy_reduced(_GNUPLOT_CTRL_ *handle, const double *x, const double *y, int count,
                             const char *title) {
    plot_control::begin_call();
    if (handle == nullptr || x == nullptr || y == nullptr || count < 1)
        return;
    try {
        const plot_control::SignalBlock no_size_kill(SIGXFSZ); // the kept points are a file too
        plot_control::plot_reduced(handle, x, y, count, title);
    } catch (const std::bad_alloc &) {
        plot_control::say("cannot allocate memory: plot not sent\n");
    }
}
