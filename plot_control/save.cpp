// Saving the graph into a file, in the format its extension names.
#include <cstdio>
#include <cstring>
#include <iterator>
#include <new>
#include <string>

#include <strings.h>

#include "internal/command_channel.h"
#include "internal/data_files.h"
#include "internal/figure.h"
#include "internal/file_names.h"
#include "internal/handle.h"
#include "internal/messages.h"
#include "internal/reduced_curve.h"
#include "internal/reply_channel.h"
#include "internal/window.h"

namespace plot_control {
namespace {

// The line that sets the terminal writing the format a file name's
// extension asks for; null for an unknown extension.
const char *terminal_line_for(const char *file_name) {
    static constexpr struct {
        const char *extension;
        const char *terminal_line;
    } formats[] = {{".png", "set terminal pngcairo"},
                   {".svg", "set terminal svg"},
                   {".pdf", "set terminal pdfcairo"},
                   {".eps", "set terminal epscairo"},
                   {".txt", "set terminal dumb"}};
    const std::size_t length = std::strlen(file_name);
    for (const auto &format : formats) {
        const std::size_t extension_length = std::strlen(format.extension);
        if (length > extension_length &&
            strcasecmp(file_name + length - extension_length, format.extension) == 0)
            return format.terminal_line;
    }
    return nullptr;
}

int save_graph(Handle &handle, const char *file_name) {
    const char *terminal_line = terminal_line_for(file_name);
    if (terminal_line == nullptr) {
        say("cannot tell the image format from the file name: not saved\n");
        return -1;
    }
    if (std::strpbrk(file_name, "\n\r") != nullptr) {
        say("file name holds a line break: not saved\n");
        return -1;
    }
    const char *draw_figure = draw_command(&handle.record);
    if (draw_figure == nullptr)
        return -1;
    const Outcome sent = send_waiting_frame(handle, Deadline(-1)); // the newest frame is saved
    if (sent != Outcome::answered) {
        report_failure(sent, "not saved");
        return -1;
    }
    CommandLine terminal, draw, unset_output, restore;
    // On one line, so that when the file cannot be opened (or nothing has
    // been plotted) the replot is skipped: nothing is drawn elsewhere and
    // an existing file is left as it was.
    if (!format_own_command(draw,
                            "if (exists(\"GPVAL_LAST_PLOT\")) {set output %s; %s} else "
                            "{replot}",
                            exact_file_name(file_name).c_str(), draw_figure))
        return -1;
    // The caller's terminal is set again as gnuplot reports it, rather than
    // pushed and popped, so that one the caller pushed stays pushed.
    const std::string kept = own_variable(handle.reply, 't');
    format_own_command(terminal, "%s=GPVAL_TERM.\" \".GPVAL_TERMOPTIONS;%s", kept.c_str(),
                       terminal_line);
    format_own_command(unset_output, "unset output");
    format_own_command(restore, "set terminal @%s;undefine %s", kept.c_str(), kept.c_str());
    const CommandLine *const lines[] = {&terminal, &draw, &unset_output, &restore};
    const SignalBlock no_size_kill(SIGXFSZ);
    EveryPointDrawn every_point(handle);
    Answer answer;
    const Outcome outcome = ask_gnuplot(handle, {}, lines, std::size(lines), Deadline(-1), answer);
    gnuplot_has_answered(handle.files, handle.reply.answered);
    if (outcome != Outcome::answered) {
        report_failure(outcome, "not saved");
        return -1;
    }
    handle.reply.last_error = std::move(answer.error);
    return handle.reply.last_error.empty() ? 0 : 1;
}

} // namespace
} // namespace plot_control

int gnuplot_save(_GNUPLOT_CTRL_ *handle, const char *file_name) {
    plot_control::begin_call();
    if (handle == nullptr || file_name == nullptr)
        return -1;
    try {
        plot_control::handle_of(handle).reply.last_error.clear();
        return plot_control::save_graph(plot_control::handle_of(handle), file_name);
    } catch (const std::bad_alloc &) {
        return -1;
    }
}
