// The reply channel, all of it: its pipe made and closed, its tag, the
// framing of its records, a request's lines and the wait for its answer.
// sync.cpp, save.cpp and read_back.cpp only ask and wait through it, and
// tell the data-file table how far gnuplot has answered.
//
// Wire protocol.
//
// The pipe. gnuplot is given the write end of a pipe as its descriptor 3; the
// library keeps the read end (non-blocking, close-on-exec, never 0-2). No
// file is made. Opening "/dev/fd/3" never waits for a reader, and once the
// library has closed its end gnuplot's writes fail rather than wait: gnuplot
// never blocks on a caller that has gone. Close shuts the read end first.
//
// Records. A request has gnuplot print records into the pipe:
//   <tag><n><kind><payload><tag>\n
// <tag> is the handle's own: 'c' and 7 letters or digits (0-9a-z) from
// getrandom(), else from the clock, the pid and the handle's address. <n> is
// the request's number in decimal, from 1 per handle. The payload may hold
// any bytes; a record ends at the first <tag>\n after its kind, which no text
// gnuplot prints holds by chance. Whatever comes before a <tag> is no answer
// and is dropped. Kinds:
//   R  closing: the payload is GPVAL_ERRMSG, gnuplot's latest error ("" for
//      none); it ends the request, which is then answered.
//   E  a save's: the errors from before its lines, kept for the next sync.
//   V  a value (a get), or a newline and gnuplot's `save set` output (the
//      settings a reduced plot reads).
// A V record comes on a line of its own before the R line, so that an error
// in the value cannot skip the closing record.
//   W  an event of the plot window, <n> 0 (no request's): a binding of
//      window_events.cpp prints it whenever gnuplot runs it, between two
//      commands, so it never splits another record. Its payload: "B<button>
//      <x> <y>", "K<code> <x> <y>" or "C". Events queue beside the answers.
//
// Lines. A request is a blank line, then an opening line, at most 5 lines of
// the operation's own (a save's four), and a closing line; a sync has no
// lines of its own and nothing asked, so its opening and closing share one
// line. The blank line ends a caller's "pause -1" (which reads the next line)
// or a line ending in a backslash (which joins it) harmlessly. The closing
// line sets print again in case a line before it could not. With <R> for
//   print "<tag><n>R".GPVAL_ERRMSG."<tag>"
// and <v> for the tag with 'v' for its first letter (so that gnuplot's echo
// of a failing expression shows no tag), the lines are:
//
//   sync:
//     set print "/dev/fd/3";<R>;reset errors;unset print
//   save (its own four lines between):
//     set print "/dev/fd/3";print "<tag><n>E".GPVAL_ERRMSG."<tag>";reset errors
//     set print "/dev/fd/3";<R>;reset errors;unset print
//   number:
//     set print "/dev/fd/3";eval "<v>=(<expression>)";eval "<v>=sprintf(\"%.17g %.17g\",<v>,imag(<v>))";set print "/dev/fd/3";print "<tag><n>V".<v>."<tag>"
//     set print "/dev/fd/3";<R>;reset errors;unset print;undefine <v>
//   text:
//     set print "/dev/fd/3";eval "<v>=(<expression>)";eval "<v>=\"\".<v>";set print "/dev/fd/3";print "<tag><n>V".<v>."<tag>"
//     set print "/dev/fd/3";<R>;reset errors;unset print;undefine <v>
//   settings:
//     set print "/dev/fd/3";print "<tag><n>V";unset print;save set "/dev/fd/3";set print "/dev/fd/3";print "<tag>"
//     set print "/dev/fd/3";<R>;reset errors;unset print
//
// The expression goes in as gnuplot would read it at the end of a line
// (CommandBoundary::closed(): a comment cut off, an open string or '{'
// closed), inside a double-quoted string for eval with every backslash and
// double quote escaped, so that no expression can end the request's line
// early or make gnuplot drop it; any text gets an answer, a value or
// gnuplot's message. A number is printed as "<real> <imaginary>", each with
// %.17g, so it reads back exactly and a complex one is told apart; a text is
// made one by "" . <v>, so that a number that is no text fails. A value's
// record comes only when the expression could be evaluated, and reaches the
// pipe whatever the expression did to print. `reset errors` clears
// GPVAL_ERRMSG, so each R reports only what came since the last request; with
// a save's lines between, the E record takes the errors from before them and
// R reports the save's own.
//
// Sending. A request goes out only at a command's start (CommandBoundary), in
// one write when its lines, newlines included, fit in PIPE_BUF bytes, else
// the blank and opening lines together and the rest one by one. Lines are
// kept short: gnuplot reads its input a byte at a time (a sync is about 90
// bytes, a get about 190).
//
// Waiting. Answers are matched by number, never by arrival order: records of
// earlier requests that arrive late, after their wait gave up, are filed away
// on the way (an R marks its request answered; an error nobody waits for
// is kept for the next sync), and never count for a later request. A wait
// ends with the answer, at the deadline, or when gnuplot has ended: the
// command pipe polls as an error once gnuplot has stopped reading, and the
// answer pipe hangs up once no writer is left. While the library waits to
// send, it takes in what arrives, so that a gnuplot blocked on writing a late
// answer reads on. A sync with no time at all sends nothing: it reads what
// has arrived and tells whether the last request sent has been answered.
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <string_view>

#include <fcntl.h>
#include <poll.h>
#include <sys/random.h>
#include <unistd.h>

#include "internal/command_boundary.h"
#include "internal/gnuplot_process.h"
#include "internal/handle.h"
#include "internal/messages.h"
#include "internal/reply_channel.h"

namespace plot_control {
namespace {

struct Record {
    unsigned long number = 0;
    char kind = 0;
    std::string payload;
};

// The next whole record in reply.unread, taken out of it. What comes before
// a record is no answer of ours and is dropped.
bool next_record(ReplyChannel &reply, Record &record) {
    std::string &unread = reply.unread;
    const std::string_view tag = reply.tag;
    const std::size_t start = unread.find(tag);
    if (start == std::string::npos) {
        unread.erase(0, unread.size() - std::min(unread.size(), tag.size() - 1));
        return false;
    }
    unread.erase(0, start);
    const std::size_t kind_at = unread.find_first_not_of("0123456789", tag.size());
    if (kind_at == std::string::npos)
        return false;
    const std::string close = std::string(tag) + "\n";
    const std::size_t end = unread.find(close, kind_at + 1);
    if (end == std::string::npos)
        return false;
    record.number = std::strtoul(unread.c_str() + tag.size(), nullptr, 10);
    record.kind = unread[kind_at];
    record.payload.assign(unread, kind_at + 1, end - kind_at - 1);
    unread.erase(0, end + close.size());
    return true;
}

// Files away every whole record received; true once request `number`'s
// closing record has come, its results then in answer. Errors of records
// that no waiting request takes are kept for the next sync.
bool take_records(Handle &handle, unsigned long number, Answer &answer) {
    ReplyChannel &reply = handle.reply;
    for (Record record; next_record(reply, record);) {
        if (record.kind == window_event_kind) {
            take_window_event(handle, record.payload);
            continue;
        }
        const bool ours = record.number == number;
        if (record.kind == 'V') {
            if (ours) {
                answer.has_value = true;
                answer.value = std::move(record.payload);
            } else {
                take_late_value(handle, record.number, record.payload);
            }
            continue;
        }
        record.payload = callers_error(handle, std::move(record.payload));
        if (record.kind == 'R') {
            reply.answered = record.number;
            if (ours) {
                answer.error = std::move(record.payload);
                return true;
            }
        }
        if (!record.payload.empty() && record.number != reply.quiet_request)
            reply.earlier_error = std::move(record.payload);
    }
    return false;
}

} // namespace

Outcome wait_on_channel(Handle &handle, const std::function<bool()> &done,
                        const Deadline &deadline) {
    ReplyChannel &reply = handle.reply;
    for (;;) {
        if (done())
            return Outcome::answered;
        // The command pipe polls as an error once gnuplot has stopped
        // reading; the reply pipe hangs up once no writer is left. A window's
        // helper may hold both after gnuplot has gone: its exit is looked at
        // every so often, or watched where the system gives a pidfd.
        pollfd watched[] = {{reply.read_fd, POLLIN, 0},
                            {fileno(handle.record.command_stream), 0, 0},
                            {handle.process.exit_fd, POLLIN, 0}};
        const int left = deadline.left_ms();
        const int ready = poll(watched, 3, left < 0 || left > 250 ? 250 : left);
        if (ready < 0 && errno != EINTR)
            return Outcome::ended;
        if (watched[0].revents & POLLIN)
            read_available(reply.read_fd, reply.unread);
        else if ((watched[0].revents & POLLHUP) || (watched[1].revents & (POLLERR | POLLHUP)))
            return Outcome::ended;
        else if (watched[2].revents != 0 || (ready == 0 && gnuplot_has_exited(handle.process)))
            return Outcome::ended;
        else if (ready == 0 && deadline.left_ms() == 0)
            return Outcome::timed_out;
    }
}

namespace {

// Waits for request `number`'s answer. Answers to earlier requests, late
// after their wait gave up, are filed away on the way.
Outcome wait_for_answer(Handle &handle, unsigned long number, const Deadline &deadline,
                        Answer &answer) {
    return wait_on_channel(
        handle, [&] { return take_records(handle, number, answer); }, deadline);
}

// Lines are kept short: gnuplot reads its input a byte at a time.

// print "<tag><n><kind>".<payload>."<tag>"
std::string record_print(const ReplyChannel &reply, unsigned long number, char kind,
                         const std::string &payload) {
    const std::string tag = reply.tag;
    return "print \"" + tag + std::to_string(number) + kind + "\"." + payload + ".\"" + tag + "\"";
}

// The variable a get's value passes through, with no tag in its name, so
// that gnuplot's echo of a failing expression shows none.
std::string value_name(const ReplyChannel &reply) {
    return own_variable(reply, 'v');
}

// eval "<text>": the text inside a double-quoted string, every backslash
// and quote escaped, reaches gnuplot's evaluation exactly, so no expression
// can end the request's line early or make gnuplot drop it.
std::string eval_of(const std::string &text) {
    std::string line = "eval \"";
    for (const char c : text) {
        if (c == '\\' || c == '"')
            line += '\\';
        line += c;
    }
    return line + "\"";
}

// <v>=(<expression>), closed so that gnuplot reads no further line into it.
std::string assign_value(const std::string &name, const char *expression) {
    return eval_of(name + "=" + CommandBoundary::closed(expression));
}

// set print "/dev/fd/3"[;<E record>;reset errors][;<value>;set print
// "/dev/fd/3";<V record>]: the errors from before come apart from the
// request's own only where its own lines follow (a save); a value's record
// comes only when it could be evaluated, and goes where it belongs whatever
// the expression did to print.
bool format_opening(CommandLine &line, const ReplyChannel &reply, unsigned long number,
                    const Asked &asked, bool lines_follow) {
    std::string text = "set print \"/dev/fd/3\"";
    if (lines_follow)
        text += ";" + record_print(reply, number, 'E', "GPVAL_ERRMSG") + ";reset errors";
    const std::string tag = reply.tag, value = value_name(reply);
    const std::string set_print = "set print \"/dev/fd/3\";";
    if (asked.kind == Asked::number) // kept, so that its imaginary part can be told too
        text += ";" + assign_value(value, asked.expression) + ";" +
                eval_of(value + "=sprintf(\"%.17g %.17g\"," + value + ",imag(" + value + "))") +
                ";" + set_print + record_print(reply, number, 'V', value);
    else if (asked.kind == Asked::text)
        text += ";" + assign_value(value, asked.expression) + ";" +
                eval_of(value + "=\"\"." + value) + ";" + set_print +
                record_print(reply, number, 'V', value);
    else if (asked.kind == Asked::written) // the record's payload: a newline, then the text
        text += ";print \"" + tag + std::to_string(number) + "V\";unset print;" + asked.expression +
                " \"/dev/fd/3\";" + set_print + "print \"" + tag + "\"";
    return format_own_command(line, "%s", text.c_str());
}

// <R record>;reset errors;unset print[;undefine <v>]
std::string closing_text(const ReplyChannel &reply, unsigned long number, const Asked &asked) {
    std::string text =
        record_print(reply, number, 'R', "GPVAL_ERRMSG") + ";reset errors;unset print";
    if (asked.kind == Asked::number || asked.kind == Asked::text)
        text += ";undefine " + value_name(reply);
    return text;
}

// Sends a request's lines in one write when they fit, else one by one (the
// first two together).
bool send_request(Handle &handle, const CommandLine *const lines[], std::size_t count,
                  const Deadline &deadline) {
    std::size_t total = 0;
    for (std::size_t i = 0; i < count; ++i)
        total += std::strlen(lines[i]->text) + 1;
    _GNUPLOT_CTRL_ *record = &handle.record;
    if (total <= PIPE_BUF)
        return send_lines_by(record, lines, count, deadline);
    for (std::size_t i = 0; i < count; i += i == 0 ? 2 : 1) {
        if (!send_lines_by(record, lines + i, i == 0 ? 2 : 1, deadline))
            return false;
    }
    return true;
}

// The request's lines: the opening line, the lines between and the closing
// line, which sets print again in case a line before it could not; or,
// with nothing between and nothing asked, both on one line.
bool format_request(const ReplyChannel &reply, unsigned long number, const Asked &asked,
                    std::size_t between_count, CommandLine &opening, CommandLine &closing) {
    if (!format_opening(opening, reply, number, asked, between_count > 0))
        return false;
    const std::string close = closing_text(reply, number, asked);
    if (between_count > 0 || asked.kind != Asked::nothing)
        return format_own_command(closing, "set print \"/dev/fd/3\";%s", close.c_str());
    const std::string one_line = std::string(opening.text) + ";" + close;
    return format_own_command(opening, "%s", one_line.c_str());
}

// 'c' and 7 letters or digits, from random bits where the system has them
// at hand, else from what tells this handle apart.
void name_channel(ReplyChannel &reply) {
    unsigned long long bits = 0;
    if (getrandom(&bits, sizeof bits, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bits)) {
        timespec now{};
        clock_gettime(CLOCK_REALTIME, &now);
        bits = static_cast<unsigned long long>(now.tv_nsec) * 0x9E3779B97F4A7C15ULL ^
               static_cast<unsigned long long>(getpid()) << 32 ^
               reinterpret_cast<std::uintptr_t>(&reply);
    }
    constexpr char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    char *out = reply.tag;
    *out++ = 'c';
    for (int i = 0; i < 7; ++i, bits /= 36)
        *out++ = digits[bits % 36];
    *out = '\0';
}

// The pipe's read end, ours, above descriptor 2 and never blocking; both
// ends close-on-exec.
bool make_pipe(int (&ends)[2]) {
    if (pipe2(ends, O_CLOEXEC) != 0)
        return false;
    ends[0] = move_off_standard_streams(ends[0]);
    if (ends[0] != -1 && fcntl(ends[0], F_SETFL, O_NONBLOCK) == 0) {
        // Room for some ten thousand events the caller has not read yet: a
        // gnuplot blocked on a full pipe runs the events it missed meanwhile
        // nested, and loses them past a depth. Where the system allows
        // less, the pipe stays as it is.
        fcntl(ends[0], F_SETPIPE_SZ, 1 << 20);
        return true;
    }
    if (ends[0] != -1)
        close(ends[0]);
    close(ends[1]);
    return false;
}

} // namespace

bool open_reply_channel(ReplyChannel &reply, int &gnuplot_end) {
    int ends[2];
    if (!make_pipe(ends))
        return false;
    name_channel(reply);
    reply.read_fd = ends[0];
    gnuplot_end = ends[1];
    return true;
}

void close_reply_channel(ReplyChannel &reply) {
    close(reply.read_fd);
    reply.read_fd = -1;
}

std::string own_variable(const ReplyChannel &reply, char first_letter) {
    return first_letter + std::string(reply.tag + 1);
}

void read_arrived_answers(Handle &handle) {
    ReplyChannel &reply = handle.reply;
    Answer ignored;
    read_available(reply.read_fd, reply.unread);
    take_records(handle, 0, ignored);
}

void report_failure(Outcome outcome, const char *consequence) {
    if (outcome == Outcome::ended)
        say_formatted("gnuplot has ended: %s\n", consequence);
    else if (outcome == Outcome::timed_out)
        say("gnuplot did not answer in time\n");
    else if (outcome == Outcome::unfinished)
        say_formatted("the last command is unfinished: %s\n", consequence);
}

Outcome post_request(Handle &handle, const Asked &asked, const CommandLine *const between[],
                     std::size_t between_count, const Deadline &deadline) {
    ReplyChannel &reply = handle.reply;
    // Once its pipes close gnuplot answers nothing more, though its process
    // may still be on its way out and read what is sent.
    if (gnuplot_has_ended(handle.process, handle.record.command_stream, reply.read_fd))
        return Outcome::ended;
    if (!handle.commands.boundary.at_command_start())
        return Outcome::unfinished;
    const unsigned long number = reply.last_request + 1;
    CommandLine opening, closing;
    if (between_count > 5 || !format_request(reply, number, asked, between_count, opening, closing))
        return Outcome::refused;
    // A blank line first ends a caller's "pause -1" (which reads the next
    // line) or a line ending in a backslash (which joins it) harmlessly.
    static const CommandLine blank{};
    const CommandLine *lines[8] = {&blank, &opening};
    std::size_t count = 2;
    for (std::size_t i = 0; i < between_count; ++i)
        lines[count++] = between[i];
    if (between_count > 0 || asked.kind != Asked::nothing)
        lines[count++] = &closing;
    if (!send_request(handle, lines, count, deadline))
        return gnuplot_has_ended(handle.process, handle.record.command_stream, reply.read_fd)
                   ? Outcome::ended
                   : Outcome::timed_out;
    reply.last_request = number;
    return Outcome::answered;
}

Outcome ask_gnuplot(Handle &handle, const Asked &asked, const CommandLine *const between[],
                    std::size_t between_count, const Deadline &deadline, Answer &answer) {
    const Outcome posted = post_request(handle, asked, between, between_count, deadline);
    if (posted != Outcome::answered)
        return posted;
    return wait_for_answer(handle, handle.reply.last_request, deadline, answer);
}

} // namespace plot_control
