// The reply channel: where gnuplot's answers arrive, a pipe that gnuplot
// holds as its descriptor 3. Made, framed, waited on and torn down by
// reply_channel.cpp; sync.cpp, save.cpp and read_back.cpp use it. After a
// use, reply.answered tells up to which request gnuplot has answered.
#ifndef PLOT_CONTROL_REPLY_CHANNEL_H
#define PLOT_CONTROL_REPLY_CHANNEL_H

#include <cstddef>
#include <functional>
#include <string>

#include "internal/command_channel.h"
#include "internal/os_helpers.h"

namespace plot_control {

struct Handle;

struct ReplyChannel {
    int read_fd = -1;
    char tag[9] = "";                // 'c' and 7 random letters or digits, this handle's own
    unsigned long last_request = 0;  // requests are numbered from 1
    unsigned long answered = 0;      // the last request gnuplot has answered
    std::string unread;              // received but not yet a whole record
    std::string earlier_error;       // kept for the next sync
    unsigned long quiet_request = 0; // the library's own, whose late error is no caller's
    std::string last_error;          // what gnuplot_last_error() gives
    std::string text;                // what gnuplot_get_text() gave last
};

// Makes the channel's pipe and gives the channel its tag; gnuplot_end is
// the pipe's write end, for gnuplot to hold. False when it cannot.
bool open_reply_channel(ReplyChannel &reply, int &gnuplot_end);

// Nobody reads the pipe any more: a late answer fails in gnuplot rather
// than waiting for a reader.
void close_reply_channel(ReplyChannel &reply);

// A gnuplot variable name of this handle's own, which no caller uses:
// first_letter, then the tag but for its first letter.
std::string own_variable(const ReplyChannel &reply, char first_letter);

// What a request asks gnuplot for besides carrying out the lines before it.
struct Asked {
    // written: the text a command writes into the file name it is given
    // (such as `save set`)
    enum Kind { nothing, number, text, written } kind = nothing;
    const char *expression = nullptr; // in gnuplot's syntax; the command, for written
};

// refused: a line of the request could not be made (said on standard
// error); unfinished: the caller's last command is still being read, so
// nothing was sent.
enum class Outcome { answered, ended, timed_out, refused, unfinished };

struct Answer {
    Outcome outcome = Outcome::answered;
    std::string error; // gnuplot's message for the request's own lines, else empty
    bool has_value = false;
    std::string value; // a number as "<real part> <imaginary part>", or the text
};

// Says on standard error why a request was not answered, and so what
// could not be done: "gnuplot has ended: <consequence>\n" and the like.
void report_failure(Outcome outcome, const char *consequence);

// Sends a request, with a save's lines (at most 5) between its opening and
// closing lines, and waits for its answer. With lines between, errors from
// before them are kept for the next sync and answer.error is theirs alone;
// otherwise it is gnuplot's latest. Says nothing when not answered.
Outcome ask_gnuplot(Handle &handle, const Asked &asked, const CommandLine *const between[],
                    std::size_t between_count, const Deadline &deadline, Answer &answer);

// Files away the answers that have arrived, without waiting.
void read_arrived_answers(Handle &handle);

// Sends a request as ask_gnuplot() does and returns without waiting for
// its answer: answered here means sent, as request reply.last_request.
Outcome post_request(Handle &handle, const Asked &asked, const CommandLine *const between[],
                     std::size_t between_count, const Deadline &deadline);

// Takes in records until done() holds (answered), the deadline passes or
// gnuplot ends.
Outcome wait_on_channel(Handle &handle, const std::function<bool()> &done,
                        const Deadline &deadline);

} // namespace plot_control

#endif
