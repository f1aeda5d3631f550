// Values read back from gnuplot: numbers exact, texts whole.
#include <new>
#include <string>

#include "internal/data_files.h"
#include "internal/handle.h"
#include "internal/messages.h"
#include "internal/numbers.h"
#include "internal/read_back.h"
#include "internal/reply_channel.h"
#include "internal/window.h"

namespace plot_control {

bool value_of(Handle &handle, const Asked &asked, int timeout_ms, Answer &answer) {
    answer.outcome = ask_gnuplot(handle, asked, nullptr, 0, Deadline(timeout_ms), answer);
    gnuplot_has_answered(handle.files, handle.reply.answered);
    if (answer.outcome != Outcome::answered)
        return false;
    if (!answer.has_value) {
        if (answer.error.empty())
            answer.error = "gnuplot gave no value"; // the expression ended the line early
        return false;
    }
    if (!answer.error.empty()) // from before the request: for the next sync
        handle.reply.earlier_error = std::move(answer.error);
    answer.error.clear();
    return true;
}

namespace {

// 0 with answer.value, 1 with the message in last_error, or -1.
int ask_value(Handle &handle, Asked::Kind kind, const char *expression, int timeout_ms,
              Answer &answer) {
    ReplyChannel &reply = handle.reply;
    reply.last_error.clear();
    const Deadline deadline(timeout_ms); // for the frame still waiting too
    const Outcome sent = send_waiting_frame(handle, deadline);
    if (sent != Outcome::answered) { // the value may depend on the frame still waiting
        report_failure(sent, "no value read");
        return -1;
    }
    if (value_of(handle, {kind, expression}, deadline.left_ms(), answer))
        return 0;
    if (answer.outcome != Outcome::answered) {
        report_failure(answer.outcome, "no value read");
        return -1;
    }
    reply.last_error = std::move(answer.error);
    return 1;
}

// "<real part> <imaginary part>", each as %.17g wrote it: exact.
bool read_real(const std::string &text, double &value) {
    double parts[2];
    if (!read_numbers(text, parts, 2) || parts[1] != 0)
        return false;
    value = parts[0];
    return true;
}

int get_number(Handle &handle, const char *expression, double &value, int timeout_ms) {
    Answer answer;
    const int result = ask_value(handle, Asked::number, expression, timeout_ms, answer);
    if (result != 0 || read_real(answer.value, value))
        return result;
    handle.reply.last_error = "not a real number: " + answer.value;
    return 1;
}

int get_text(Handle &handle, const char *expression, const char *&text, int timeout_ms) {
    Answer answer;
    const int result = ask_value(handle, Asked::text, expression, timeout_ms, answer);
    if (result == 0) {
        handle.reply.text = std::move(answer.value);
        text = handle.reply.text.c_str();
    }
    return result;
}

} // namespace
} // namespace plot_control

int gnuplot_get_number(_GNUPLOT_CTRL_ *handle, const char *expression, double *value,
                       int timeout_ms) {
    plot_control::begin_call();
    if (handle == nullptr || expression == nullptr || value == nullptr)
        return -1;
    try {
        return plot_control::get_number(plot_control::handle_of(handle), expression, *value,
                                        timeout_ms);
    } catch (const std::bad_alloc &) {
        return -1;
    }
}

int gnuplot_get_text(_GNUPLOT_CTRL_ *handle, const char *expression, const char **text,
                     int timeout_ms) {
    plot_control::begin_call();
    if (handle == nullptr || expression == nullptr || text == nullptr)
        return -1;
    try {
        return plot_control::get_text(plot_control::handle_of(handle), expression, *text,
                                      timeout_ms);
    } catch (const std::bad_alloc &) {
        return -1;
    }
}
