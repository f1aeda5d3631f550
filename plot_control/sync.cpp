// Syncing with gnuplot: waiting until it has carried out every line sent,
// and hearing the error it met, if any.
#include <new>
#include <string>

#include "internal/data_files.h"
#include "internal/gnuplot_process.h"
#include "internal/handle.h"
#include "internal/messages.h"
#include "internal/reply_channel.h"

namespace plot_control {
namespace {

// 1 with the error kept for the next sync, else 0.
int report_earlier_error(ReplyChannel &reply) {
    if (reply.earlier_error.empty())
        return 0;
    reply.last_error = std::move(reply.earlier_error);
    reply.earlier_error.clear();
    return 1;
}

// Without waiting: 0 or 1 once gnuplot has answered every request sent, else -1.
int sync_without_waiting(Handle &handle) {
    ReplyChannel &reply = handle.reply;
    read_arrived_answers(handle);
    if (reply.answered == reply.last_request)
        return report_earlier_error(reply);
    if (gnuplot_has_ended(handle.process, handle.record.command_stream, reply.read_fd))
        report_failure(Outcome::ended, "cannot sync");
    return -1;
}

int sync_with_gnuplot(Handle &handle, int timeout_ms, const Deadline &deadline) {
    ReplyChannel &reply = handle.reply;
    reply.last_error.clear();
    if (timeout_ms == 0)
        return sync_without_waiting(handle);
    Answer answer;
    const Outcome outcome = ask_gnuplot(handle, {}, nullptr, 0, deadline, answer);
    if (outcome != Outcome::answered) {
        report_failure(outcome, "cannot sync");
        return -1;
    }
    if (!answer.error.empty()) // gnuplot's latest: the sync reports one error
        reply.earlier_error = std::move(answer.error);
    return report_earlier_error(reply);
}

} // namespace
} // namespace plot_control

int gnuplot_sync(_GNUPLOT_CTRL_ *handle, int timeout_ms) {
    plot_control::begin_call();
    if (handle == nullptr)
        return -1;
    plot_control::Handle &owner = plot_control::handle_of(handle);
    try {
        // A frame still waiting is one gnuplot has not done yet; sending it
        // takes from the same time.
        const plot_control::Deadline deadline(timeout_ms);
        const plot_control::Outcome sent = plot_control::send_waiting_frame(owner, deadline);
        if (sent != plot_control::Outcome::answered) {
            if (timeout_ms != 0 || sent == plot_control::Outcome::ended)
                plot_control::report_failure(sent, "cannot sync");
            return -1;
        }
        const int result = plot_control::sync_with_gnuplot(owner, timeout_ms, deadline);
        plot_control::gnuplot_has_answered(owner.files, owner.reply.answered);
        return result;
    } catch (const std::bad_alloc &) {
        return -1;
    }
}

const char *gnuplot_last_error(const _GNUPLOT_CTRL_ *handle) {
    return handle == nullptr ? "" : plot_control::handle_of(handle).reply.last_error.c_str();
}
