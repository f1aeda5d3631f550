// The reply channel: where gnuplot's answers arrive, a pipe that gnuplot
// holds as its descriptor 3; provided by reply_channel.cpp.
#ifndef PLOT_CONTROL_REPLY_CHANNEL_H
#define PLOT_CONTROL_REPLY_CHANNEL_H

#include <cstddef>
#include <string>

#include "internal/command_channel.h"
#include "internal/os_helpers.h"

namespace plot_control {

struct Handle;

struct ReplyChannel {
    int read_fd = -1;
    char tag[9] = "";               // 'c' and 7 random letters or digits, this handle's own
    unsigned long last_request = 0; // requests are numbered from 1
    unsigned long answered = 0;     // the last request gnuplot has answered
    std::string unread;             // received but not yet a whole record
    std::string earlier_error;      // kept for the next sync
    std::string last_error;         // what gnuplot_last_error() gives
    std::string text;               // what gnuplot_get_text() gave last
};

// Gives a new handle's reply channel its tag.
void name_reply_channel(ReplyChannel &reply);

// What a request asks gnuplot for besides carrying out the lines before it.
struct Asked {
    // settings: all of gnuplot's settings, as its `save set` writes them
    enum Kind { nothing, number, text, settings } kind = nothing;
    const char *expression = nullptr; // in gnuplot's syntax, for number or text
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

} // namespace plot_control

#endif
