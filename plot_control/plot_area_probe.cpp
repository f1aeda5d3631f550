// The plot-area probe. Whatever gnuplot would draw or print differently
// for the probe than for the plot (warnings, a table, dashes, an
// animation) makes the plot send every point instead, and the caller's
// output, terminal and graph are left as they were.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>

#include <dirent.h>
#include <sys/stat.h>

#include "internal/file_names.h"
#include "internal/handle.h"
#include "internal/numbers.h"
#include "internal/plot_area_probe.h"
#include "internal/read_back.h"

namespace plot_control {
namespace {

// How long a look at the plot area may take before every point is plotted.
constexpr int probe_timeout_ms = 10000;

// The style line the probe copies linetype 1 into, to see its dashes.
constexpr int first_spare_style_line = 31999;

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
    if (!ask_text(handle, Asked::written, "save set", before))
        return false;
    int spare = first_spare_style_line;
    while (before.find("set style line " + std::to_string(spare) + " ") != std::string::npos)
        ++spare;
    const std::string line = std::to_string(spare);
    const bool asked = send_text(handle, "set style line " + line + " linetype 1") &&
                       ask_text(handle, Asked::written, "save set", text);
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
    const std::string shell = std::to_string(handle.process.pid);
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

} // namespace

// What the probe needs to know before it plots, asked of gnuplot; false
// where the probe cannot stand in for the plot.
bool prepare_probe(Handle &handle, const double *x, const double *y, std::size_t count,
                   ProbePlan &plan, std::vector<std::size_t> &preview) {
    const Terminal &terminal = plan.terminal;
    if (!ask_terminal(handle, plan.terminal) || terminal.multiplot ||
        terminal.options.find("animate") != std::string::npos)
        return false;
    plan.drawing = drawing_of(terminal.name);
    return plan.drawing.whole_pixels &&
           output_allows_probe(handle, terminal, plan.drawing.to_file) &&
           ask_settings(handle, plan.settings) && probe_rows(x, y, count, plan.settings, preview);
}

bool map_plot_area(Handle &handle, const CommandLine &plot, const ProbePlan &plan,
                   Mapping &mapping) {
    mapping.clip_two = plan.settings.clip_two;
    return probe(handle, plot, plan.terminal, plan.drawing) && read_mapping(handle, mapping);
}

} // namespace plot_control
