// Plots that need no data file, and the axis labels.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "internal/command_channel.h"
#include "internal/figure.h"
#include "internal/graph.h"
#include "internal/messages.h"
#include "internal/numbers.h"

namespace {

constexpr std::size_t title_buffer_size = CHARTLINK_MAX_TITLE_LENGTH + 1;

struct Title {
    char text[title_buffer_size];
};

bool is_utf8_continuation(char byte) {
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

// The caller's title, or "no title", cut to fit without splitting a UTF-8
// character (in malformed text, at most three bytes are given up).
Title make_title(const char *title) {
    if (title == nullptr)
        title = "no title";
    std::size_t length = strnlen(title, title_buffer_size);
    if (length == title_buffer_size) {
        length = CHARTLINK_MAX_TITLE_LENGTH;
        for (int backed = 0; backed < 3 && is_utf8_continuation(title[length]); ++backed)
            --length;
    }
    Title made;
    std::memcpy(made.text, title, length);
    made.text[length] = '\0';
    return made;
}

// set <axis>label "<label>"
void set_label(_GNUPLOT_CTRL_ *handle, char axis, const char *label) {
    plot_control::CommandLine line;
    if (handle != nullptr && label != nullptr &&
        plot_control::format_own_command(line, "set %clabel \"%s\"", axis, label))
        plot_control::send_line(handle, line);
}

// Sends <verb> <curve> title "<title>" with <style> and counts the plot.
void plot_function(_GNUPLOT_CTRL_ *handle, const char *curve, const char *title) {
    const char *verb = plot_control::plot_verb(handle);
    plot_control::CommandLine line;
    if (verb == nullptr || !plot_control::format_own_command(line, "%s %s title \"%s\" with %s",
                                                             verb, curve, make_title(title).text,
                                                             plot_control::curve_style(handle)))
        return;
    plot_control::send_plot(handle, line, verb);
}

} // namespace

void gnuplot_set_xlabel(_GNUPLOT_CTRL_ *handle, const char *label) {
    plot_control::begin_call();
    set_label(handle, 'x', label);
}

void gnuplot_set_ylabel(_GNUPLOT_CTRL_ *handle, const char *label) {
    plot_control::begin_call();
    set_label(handle, 'y', label);
}

void gnuplot_plot_equation(_GNUPLOT_CTRL_ *handle, const char *equation, const char *title) {
    plot_control::begin_call();
    if (handle != nullptr && equation != nullptr)
        plot_function(handle, equation, title);
}

void gnuplot_plot_slope(_GNUPLOT_CTRL_ *handle, double a, double b, const char *title) {
    plot_control::begin_call();
    if (handle == nullptr)
        return;
    // gnuplot has no literal for inf or nan: such a line would only fail there.
    if (!std::isfinite(a) || !std::isfinite(b)) {
        plot_control::say("slope and intercept must be finite: not sent\n");
        return;
    }
    constexpr char times_x_plus[] = " * x + ";
    char curve[2 * plot_control::max_number_length + sizeof times_x_plus];
    char *end = plot_control::format_command_number(curve, a);
    end = std::copy(times_x_plus, times_x_plus + sizeof times_x_plus - 1, end);
    *plot_control::format_command_number(end, b) = '\0';
    plot_function(handle, curve, title);
}
