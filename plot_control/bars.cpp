// Labelled bars: one filled box per value, from 0 to the value, its label
// under it. The labels travel in a gnuplot array of single-quoted strings,
// which take any byte but a line break: a data file cannot carry a double
// quote, and "set xtics (...)" reads its labels as printf formats and keeps
// them for later graphs.
#include <cmath>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "internal/command_channel.h"
#include "internal/data_file_plot.h"
#include "internal/data_writer.h"
#include "internal/figure.h"
#include "internal/file_names.h"
#include "internal/graph.h"
#include "internal/handle.h"
#include "internal/messages.h"

namespace plot_control {
namespace {

// Half a bar's width, in slots of 1.
constexpr double half_bar = 0.4;

// "array <name>[<count>]", then the labels assigned a line's worth at a
// time. Empty, with the message, when a label cannot be sent.
std::vector<std::string> label_lines(const std::string &name, const char *const labels[],
                                     std::size_t count) {
    std::vector<std::string> lines{"array " + name + "[" + std::to_string(count) + "]"};
    std::string line;
    for (std::size_t i = 0; i < count; ++i) {
        const char *label = labels[i] != nullptr ? labels[i] : "";
        if (std::strpbrk(label, "\n\r") != nullptr) {
            say("bar label holds a line break: plot not sent\n");
            return {};
        }
        const std::string assignment =
            name + "[" + std::to_string(i + 1) + "]=" + gnuplot_string(label);
        if (assignment.size() > CHARTLINK_MAX_COMMAND_LENGTH) {
            say("command too long: not sent\n");
            return {};
        }
        if (!line.empty() && line.size() + 1 + assignment.size() > CHARTLINK_MAX_COMMAND_LENGTH) {
            lines.push_back(line);
            line.clear();
        }
        line += (line.empty() ? "" : ";") + assignment;
    }
    if (!line.empty())
        lines.push_back(line);
    lines.emplace_back("set xtics noenhanced"); // labels as written: no _ ^ @ & {} markup
    return lines;
}

bool send_texts(_GNUPLOT_CTRL_ *handle, const std::vector<std::string> &texts) {
    for (const std::string &text : texts) {
        CommandLine line;
        if (!format_own_command(line, "%s", text.c_str()) || !send_line(handle, line))
            return false;
    }
    return true;
}

} // namespace

void plot_boxes(_GNUPLOT_CTRL_ *handle, std::size_t records,
                const std::function<double *(std::size_t, double *)> &fill,
                const char *const labels[], const char *title) {
    Handle &owner = handle_of(handle);
    const std::string name =
        std::string(owner.reply.tag) + "_" + std::to_string(owner.figure.arrays_made++);
    std::vector<std::string> lines;
    if (labels != nullptr && (lines = label_lines(name, labels, records)).empty())
        return;
    PlotShape shape{plot_verb(handle), "", "boxxyerror fillstyle solid"};
    std::snprintf(shape.layout, sizeof shape.layout,
                  " binary format=\"%%6float64\" using 1:2:3:4:5:6%s%s%s%s",
                  labels != nullptr ? ":xtic(" : "", labels != nullptr ? name.c_str() : "",
                  labels != nullptr ? "[int($0)+1])" : "", title == nullptr ? " notitle" : "");
    // The labels go once the file is written: a refusal sends nothing.
    plot_data(handle, shape, title, [&](BlockWriter &writer) {
        return write_records(writer, records, 6, fill) && send_texts(handle, lines);
    });
}

} // namespace plot_control

void gnuplot_plot_bars(_GNUPLOT_CTRL_ *handle, const char *const labels[], const double *values,
                       int count, const char *title) {
    plot_control::begin_call();
    if (handle == nullptr || labels == nullptr || values == nullptr || count < 1)
        return;
    try {
        plot_control::plot_boxes(
            handle, static_cast<std::size_t>(count),
            [&](std::size_t i, double *out) {
                const double x = static_cast<double>(i);
                // One not finite keeps its slot and label, with no bar.
                const double y = std::isfinite(values[i]) ? values[i] : 0;
                return plot_control::box(out, x, y, x - plot_control::half_bar,
                                         x + plot_control::half_bar);
            },
            labels, title);
    } catch (const std::bad_alloc &) {
        plot_control::say("cannot allocate memory: plot not sent\n");
    }
}
