// The live curve: each frame replaces its data and has gnuplot replot, with
// at most one frame in flight. In a window, a frame that comes while gnuplot
// still draws the one before waits in the handle, and a newer one replaces
// it: gnuplot is never more than one frame behind the newest, and no backlog
// builds in the pipe. On other terminals every frame is drawn.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <new>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "internal/command_channel.h"
#include "internal/data_files.h"
#include "internal/data_writer.h"
#include "internal/figure.h"
#include "internal/gnuplot_process.h"
#include "internal/handle.h"
#include "internal/messages.h"
#include "internal/os_helpers.h"
#include "internal/read_back.h"
#include "internal/reply_channel.h"
#include "internal/window.h"

namespace plot_control {
namespace {

bool answered(const Handle &handle, unsigned long request) {
    return handle.reply.answered >= request;
}

// A name the library may rename a file over: its own file, or none at all.
bool name_ours_or_free(const char *name, const FileFacts &facts) {
    struct stat info {};
    return still_there(name, facts) || (lstat(name, &info) == -1 && errno == ENOENT);
}

// The data file's new contents in a new file renamed over it: the slow way,
// when the spare cannot be used (a flush of the replaced file's blocks).
bool write_anew(Handle &handle, int slot, const double *x, const double *y, std::size_t count) {
    NewDataFile file;
    if (!make_data_file(file))
        return false;
    struct stat info {};
    BlockWriter writer(handle.block, file.fd);
    const bool written =
        write_pair_rows(writer, x, y, count, nullptr) && fstat(file.fd, &info) == 0;
    if (close(file.fd) != 0 || !written ||
        !name_ours_or_free(handle.live.file.c_str(), handle.files.table[slot]) ||
        rename(file.name, handle.live.file.c_str()) != 0) {
        std::remove(file.name);
        return false;
    }
    handle.files.table[slot] = {{info.st_dev, info.st_ino}, static_cast<std::size_t>(info.st_size)};
    return true;
}

int slot_of(const _GNUPLOT_CTRL_ *handle, const std::string &name) {
    for (int slot = 0; slot < handle->temp_file_count; ++slot) {
        if (name == handle->temp_files[slot])
            return slot;
    }
    return -1;
}

// The curve is on the graph while its file is still in the table (no reset
// or other plot since): its slot, else -1.
int live_slot(const _GNUPLOT_CTRL_ *handle, const LiveCurve &live) {
    return slot_of(handle, live.file);
}

// The curve's spare file, in the table beside its data file (made at the
// second frame): its slot, or -1 when there is no room for it.
int spare_slot(Handle &handle) {
    _GNUPLOT_CTRL_ *record = &handle.record;
    LiveCurve &live = handle.live;
    if (live.spare.empty()) {
        NewDataFile file;
        if (record->temp_file_count == CHARTLINK_MAX_TEMP_FILES || !make_data_file(file) ||
            !keep_data_file(record, file, true))
            return -1;
        live.spare = file.name;
    }
    return slot_of(record, live.spare);
}

// Writes the frame in place into the spare, then has the two files trade
// names in one step: gnuplot opens a whole frame, and no file's blocks are
// made anew. The spare was the data file before the last trade, so every
// plot that may have opened it (a replot for the user's zoom too) ended
// before gnuplot answered the frame after that trade, which is when the next
// frame comes here. False, with the data file as it was, on any failure.
bool trade_through_spare(Handle &handle, int slot, int spare, const double *x, const double *y,
                         std::size_t count) {
    FileFacts &facts = handle.files.table[spare];
    const int fd = move_off_standard_streams(
        open(handle.record.temp_files[spare], O_WRONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    if (fd == -1)
        return false;
    struct stat info {};
    const std::size_t bytes = count * 2 * sizeof(double);
    BlockWriter writer(handle.block, fd);
    // Its size as it is: a frame that failed part way may have left it longer.
    const bool written = fstat(fd, &info) == 0 && info.st_dev == facts.identity.device &&
                         info.st_ino == facts.identity.inode &&
                         write_pair_rows(writer, x, y, count, nullptr) &&
                         (static_cast<std::size_t>(info.st_size) == bytes ||
                          ftruncate(fd, static_cast<off_t>(bytes)) == 0);
    if (close(fd) != 0 || !written)
        return false;
    facts.bytes = bytes;
    if (!still_there(handle.live.file.c_str(), handle.files.table[slot]) ||
        renameat2(AT_FDCWD, handle.record.temp_files[spare], AT_FDCWD, handle.live.file.c_str(),
                  RENAME_EXCHANGE) != 0)
        return false;
    std::swap(handle.files.table[slot], facts);
    return true;
}

bool replace_contents(Handle &handle, int slot, const double *x, const double *y,
                      std::size_t count) {
    const SignalBlock no_size_kill(SIGXFSZ); // a file too large fails to write
    const int spare = spare_slot(handle);
    return (spare != -1 && trade_through_spare(handle, slot, spare, x, y, count)) ||
           write_anew(handle, slot, x, y, count);
}

// The request after a frame. Until the terminal is known to be a window
// (the first frame, the first after a caller's line, every frame to a file)
// its answer tells the terminal the frame went to, so that a switch between
// a window and a file is seen at the next frame; then a bare sync suffices.
Outcome post_frame_request(Handle &handle) {
    const Asked asked = handle.live.window ? Asked{} : Asked{Asked::text, "GPVAL_TERM"};
    const Outcome outcome = post_request(handle, asked, nullptr, 0, Deadline(-1));
    if (outcome == Outcome::answered)
        handle.live.in_flight = handle.reply.last_request;
    return outcome;
}

// replot and a request after it, not waited for.
Outcome send_replot(Handle &handle) {
    if (!handle.commands.boundary.at_command_start())
        return Outcome::unfinished;
    CommandLine replot;
    std::strcpy(replot.text, "replot");
    if (!send_line(&handle.record, replot))
        return Outcome::ended;
    window_redrawn(handle);
    return post_frame_request(handle);
}

// -1 (said), or 0 once sent.
int send_frame(Handle &handle, int slot, const double *x, const double *y, std::size_t count) {
    if (!handle.commands.boundary.at_command_start()) {
        report_failure(Outcome::unfinished, "plot not sent");
        return -1;
    }
    if (!replace_contents(handle, slot, x, y, count)) {
        say("cannot write temporary file: plot not sent\n");
        return -1;
    }
    const Outcome outcome = send_replot(handle);
    if (outcome != Outcome::answered) {
        report_failure(outcome, "plot not sent");
        return -1;
    }
    return 0;
}

// The first frame: the curve's plot. Until its answer tells, the terminal
// counts as no window: the next frame waits for it.
int first_frame(Handle &handle, const double *x, const double *y, int count, const char *title) {
    _GNUPLOT_CTRL_ *record = &handle.record;
    if (!handle.commands.boundary.at_command_start()) {
        report_failure(Outcome::unfinished, "plot not sent");
        return -1;
    }
    const int before = record->temp_file_count;
    const double *const columns[] = {x, y};
    gnuplot_plot_columns(record, columns, 2, count, title);
    if (gnuplot_last_refused() != 0 || record->temp_file_count != before + 1)
        return -1;
    LiveCurve &live = handle.live;
    live.file = record->temp_files[before];
    live.spare.clear();
    live.window = false;
    const bool dropped = live.waiting; // held for the graph a reset or a plot replaced
    live.waiting = false;
    const Outcome outcome = post_frame_request(handle);
    if (outcome != Outcome::answered) {
        report_failure(outcome, "plot not sent");
        return -1;
    }
    return dropped ? 1 : 0;
}

// Waits for the frame in flight, and then the one waiting, if any, goes out.
int wait_for_frames(Handle &handle) {
    LiveCurve &live = handle.live;
    if (send_waiting_frame(handle, Deadline(-1)) == Outcome::ended) {
        report_failure(Outcome::ended, "plot not sent");
        return -1;
    }
    const Outcome outcome = wait_on_channel(
        handle, [&] { return read_arrived_answers(handle), answered(handle, live.in_flight); },
        Deadline(-1));
    if (outcome != Outcome::answered) {
        report_failure(outcome, "plot not sent");
        return -1;
    }
    return 0;
}

int plot_live(Handle &handle, const double *x, const double *y, int count, const char *title) {
    LiveCurve &live = handle.live;
    const int slot = live_slot(&handle.record, live);
    if (slot == -1)
        return first_frame(handle, x, y, count, title);
    const auto size = static_cast<std::size_t>(count);
    read_arrived_answers(handle);
    // No window (any more): every frame is drawn, one held before the
    // switch included.
    if (!live.window && wait_for_frames(handle) == -1)
        return -1;
    if (answered(handle, live.in_flight)) {
        const bool replaced = live.waiting; // this newer frame goes instead
        live.waiting = false;
        const int sent = send_frame(handle, slot, x, y, size);
        return sent == 0 && replaced ? 1 : sent;
    }
    // Sending finds out whether gnuplot is gone; a frame that only waits must
    // ask, or it would wait for it for good.
    if (gnuplot_has_ended(handle.process, handle.record.command_stream, handle.reply.read_fd)) {
        report_failure(Outcome::ended, "plot not sent");
        return -1;
    }
    const bool dropped = live.waiting;
    live.x.assign(x, x + size);
    live.y.assign(y, y + size);
    live.waiting = true;
    return dropped ? 1 : 0;
}

} // namespace

void take_late_value(Handle &handle, unsigned long request, const std::string &value) {
    LiveCurve &live = handle.live;
    if (request == live.in_flight && request >= live.caller_line_before)
        live.window = is_window_terminal(value);
}

void caller_line_sent(Handle &handle) {
    LiveCurve &live = handle.live;
    live.window = false;
    live.caller_line_before = handle.reply.last_request + 1;
    window_may_reopen(handle);
}

Outcome send_waiting_frame(Handle &handle, const Deadline &deadline) {
    LiveCurve &live = handle.live;
    const int slot = live_slot(&handle.record, live);
    if (!live.waiting || slot == -1)
        return Outcome::answered;
    const Outcome outcome = wait_on_channel(
        handle, [&] { return read_arrived_answers(handle), answered(handle, live.in_flight); },
        deadline);
    if (outcome != Outcome::answered)
        return outcome;
    if (!handle.commands.boundary.at_command_start())
        return Outcome::unfinished; // it waits for the caller's command to end
    live.waiting = false;           // a frame that cannot be written is dropped, said
    if (!replace_contents(handle, slot, live.x.data(), live.y.data(), live.x.size())) {
        say("cannot write temporary file: plot not sent\n");
        return Outcome::answered;
    }
    return send_replot(handle) == Outcome::ended ? Outcome::ended : Outcome::answered;
}

} // namespace plot_control

int gnuplot_plot_live(_GNUPLOT_CTRL_ *handle, const double *x, const double *y, int count,
                      const char *title) {
    plot_control::begin_call();
    if (handle == nullptr || x == nullptr || y == nullptr || count < 1)
        return -1;
    if (plot_control::laying_out(handle)) { // its replots would draw further panels
        plot_control::say("a live curve cannot go into a layout: plot not sent\n");
        return -1;
    }
    try {
        return plot_control::plot_live(plot_control::handle_of(handle), x, y, count, title);
    } catch (const std::bad_alloc &) {
        plot_control::say("cannot allocate memory: plot not sent\n");
        return -1;
    }
}
