// The plot window's events. gnuplot runs a binding whenever it waits for its
// next line; the library's bindings print a record of the event on the
// reply channel, where it waits beside the answers until handed over. A
// window's close is known only so: no variable of gnuplot's tells it.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <iterator>
#include <new>
#include <string>

#include <strings.h>

#include "internal/command_channel.h"
#include "internal/handle.h"
#include "internal/messages.h"
#include "internal/numbers.h"
#include "internal/read_back.h"
#include "internal/reply_channel.h"
#include "internal/window.h"

namespace plot_control {
namespace {

constexpr std::size_t most_events_kept = 4096;
constexpr const char *mouse_test = "strstrt(GPVAL_COMPILE_OPTIONS,\"+USE_MOUSE\")";

// set print "/dev/fd/3";print <record>;unset print: the channel is the print
// target only while the binding runs, as during a request.
// Only where gnuplot has bind: gnuplot-nox parses no line in a clause it skips.
std::string binding_for(const std::string &name, const std::string &printed) {
    return std::string("if (") + mouse_test + ") {bind \"" + name +
           "\" 'set print \"/dev/fd/3\";print " + printed + ";unset print'}";
}

// The record's text, made whole by sprintf before anything is printed, so
// that a failing item never leaves half a line on the channel.
std::string event_record(const ReplyChannel &reply, const std::string &payload_format,
                         const char *arguments) {
    const std::string tag = reply.tag;
    return "sprintf(\"" + tag + "0" + window_event_kind + payload_format + tag + "\"," + arguments +
           ")";
}

std::string click_binding(const ReplyChannel &reply, int button) {
    const std::string number = std::to_string(button);
    return binding_for("Button" + number,
                       event_record(reply, "B" + number + " %.17g %.17g", "MOUSE_X,MOUSE_Y"));
}

// Where the pointer was: not defined for every key on every plot.
std::string key_binding(const ReplyChannel &reply, const std::string &name) {
    return binding_for(name, event_record(reply, "K%d %.17g %.17g",
                                          "MOUSE_KEY,exists(\"MOUSE_X\")?MOUSE_X:NaN,"
                                          "exists(\"MOUSE_Y\")?MOUSE_Y:NaN"));
}

// With the terminal that closed: x11 opens no window again for a plot.
std::string close_binding(const ReplyChannel &reply) {
    const std::string tag = reply.tag;
    return binding_for("Close",
                       "\"" + tag + "0" + window_event_kind + "C\".GPVAL_TERM.\"" + tag + "\"");
}

// The button of "Button1" to "Button3", else 0.
int button_named(const std::string &name) {
    return name.size() == 7 && name.compare(0, 6, "Button") == 0 && name[6] >= '1' && name[6] <= '3'
               ? name[6] - '0'
               : 0;
}

// The keys gnuplot 5.4's bind knows by name, besides F1 to F12 and KP_0 to
// KP_9; a name it does not know it only warns about, binding nothing.
constexpr const char *special_keys[] = {
    "BackSpace",   "Tab",        "Linefeed",  "Clear",       "Return",   "Pause",
    "Scroll_Lock", "Sys_Req",    "Escape",    "Delete",      "Insert",   "Home",
    "Left",        "Up",         "Right",     "Down",        "PageUp",   "PageDown",
    "End",         "Begin",      "KP_Space",  "KP_Tab",      "KP_Enter", "KP_F1",
    "KP_F2",       "KP_F3",      "KP_F4",     "KP_Home",     "KP_Left",  "KP_Up",
    "KP_Right",    "KP_Down",    "KP_PageUp", "KP_PageDown", "KP_End",   "KP_Begin",
    "KP_Insert",   "KP_Delete",  "KP_Equal",  "KP_Multiply", "KP_Add",   "KP_Separator",
    "KP_Subtract", "KP_Decimal", "KP_Divide"};

bool special_key(const std::string &key) {
    const bool function_key =
        key.size() >= 2 && key.size() <= 3 && key[0] == 'F' && key[1] >= '1' && key[1] <= '9' &&
        (key.size() == 2 || (key[1] == '1' && key[2] >= '0' && key[2] <= '2'));
    const bool keypad_digit =
        key.size() == 4 && key.compare(0, 3, "KP_") == 0 && key[3] >= '0' && key[3] <= '9';
    return function_key || keypad_digit ||
           std::find(std::begin(special_keys), std::end(special_keys), key) !=
               std::end(special_keys);
}

// A key as gnuplot names it, after any of the modifiers ctrl-, alt- and
// shift-: one visible ASCII character (none that the binding's quotes or
// gnuplot's backquote substitution would take), or a special key's name.
// Buttons 1 to 3 come bare.
bool valid_key_name(const std::string &name) {
    std::size_t key = 0;
    for (bool modifier = true; modifier;) {
        modifier = false;
        for (const char *prefix : {"ctrl-", "alt-", "shift-"}) {
            const std::size_t length = std::strlen(prefix);
            if (strncasecmp(name.c_str() + key, prefix, length) == 0 &&
                name.size() > key + length) {
                key += length;
                modifier = true;
            }
        }
    }
    const std::string rest = name.substr(key);
    if (rest.size() == 1)
        return rest[0] > ' ' && rest[0] < 0x7f && std::strchr("'\"\\`", rest[0]) == nullptr;
    return key == 0 ? button_named(rest) != 0 || special_key(rest) : special_key(rest);
}

// Sends bindings in requests of up to five, as a save's lines go: 0, 1 with
// gnuplot's message, -1 (said, but quietly when the time runs out), or -2
// when the time ran out after the last request went: gnuplot will take
// them, and that request's late error goes to no caller's sync.
int send_bindings(Handle &handle, const std::vector<std::string> &bindings,
                  const Deadline &deadline, const char *consequence) {
    ReplyChannel &reply = handle.reply;
    reply.last_error.clear();
    for (std::size_t first = 0; first < bindings.size(); first += 5) {
        CommandLine lines[5];
        const CommandLine *between[5];
        std::size_t count = 0;
        for (; count < 5 && first + count < bindings.size(); ++count) {
            if (!format_own_command(lines[count], "%s", bindings[first + count].c_str()))
                return -1;
            between[count] = &lines[count];
        }
        Answer answer;
        const Outcome outcome = ask_gnuplot(handle, {}, between, count, deadline, answer);
        if (outcome == Outcome::timed_out && reply.answered < reply.last_request &&
            first + count == bindings.size()) {
            reply.quiet_request = reply.last_request;
            return -2;
        }
        if (outcome == Outcome::timed_out)
            return -1;
        if (outcome != Outcome::answered) {
            report_failure(outcome, consequence);
            return -1;
        }
        if (!answer.error.empty()) {
            reply.last_error = std::move(answer.error);
            return 1;
        }
    }
    return 0;
}

// Asks once whether this gnuplot has bind at all (gnuplot-nox has not):
// 1, 0 said, -1 said, or -2 when the time runs out.
int has_mouse(Handle &handle, const Deadline &deadline, const char *consequence) {
    WindowEvents &window = handle.window;
    if (window.has_mouse == -1) {
        Answer answer;
        if (!value_of(handle, {Asked::number, mouse_test}, deadline.left_ms(), answer)) {
            if (answer.outcome == Outcome::timed_out)
                return -2;
            report_failure(answer.outcome, consequence);
            return -1;
        }
        window.has_mouse = answer.value.compare(0, 2, "0 ") != 0 ? 1 : 0;
    }
    if (window.has_mouse == 0 && wait_on_channel(
                                     handle, [] { return false; }, Deadline(0)) == Outcome::ended)
        report_failure(Outcome::ended, consequence);
    else if (window.has_mouse == 0)
        say_formatted("this gnuplot has no windows: %s\n", consequence);
    return window.has_mouse;
}

// Binds the close, and with clicks button 1, once per handle: 0, or -1
// (said, but quietly when the time runs out). With no time to ask whether
// gnuplot has bind, the bindings go anyway: they test it themselves.
int bind_window(Handle &handle, bool clicks, const Deadline &deadline, const char *consequence) {
    WindowEvents &window = handle.window;
    std::vector<std::string> bindings;
    if (!window.close_bound)
        bindings.push_back(close_binding(handle.reply));
    if (clicks && !window.clicks_bound)
        bindings.push_back(click_binding(handle.reply, 1));
    if (bindings.empty())
        return 0;
    const int mouse = has_mouse(handle, deadline, consequence);
    if (mouse == 0 || mouse == -1)
        return -1;
    const int result = send_bindings(handle, bindings, deadline, consequence);
    if (result == -1)
        return -1;
    window.close_bound = true; // sent, if not yet answered
    window.clicks_bound = window.clicks_bound || clicks;
    return result == -2 ? -1 : 0;
}

int listen_to(Handle &handle, const char *names) {
    std::vector<std::string> bindings;
    for (const char *at = names; *at != '\0';) {
        const std::size_t blanks = std::strspn(at, " \t");
        const std::size_t length = std::strcspn(at + blanks, " \t");
        const std::string name(at + blanks, length);
        at += blanks + length;
        if (name.empty())
            continue;
        if (!valid_key_name(name)) {
            say("cannot bind this key name: not bound\n");
            return -1;
        }
        const int button = button_named(name);
        bindings.push_back(button != 0 ? click_binding(handle.reply, button)
                                       : key_binding(handle.reply, name));
    }
    if (bind_window(handle, true, Deadline(-1), "not bound") == -1)
        return -1;
    return send_bindings(handle, bindings, Deadline(-1), "not bound");
}

// "B<button> <x> <y>", "K<code> <x> <y>" or "C<terminal>". The numbers come with
// gnuplot's decimal sign, which the caller's locale need not share.
bool read_event(const std::string &payload, gnuplot_event &event) {
    event = {};
    event.x = event.y = NAN;
    if (payload.empty())
        return false;
    const char *at = payload.c_str(), *const last = at + payload.size();
    const char kind = *at++;
    if (kind == 'C') {
        event.type = GNUPLOT_EVENT_CLOSE;
        return true;
    }
    int code = 0;
    const auto [end, error] = std::from_chars(at, last, code);
    if (error != std::errc() || (kind != 'B' && kind != 'K'))
        return false;
    double where[2];
    if (*end == ' ' && read_numbers(std::string(end + 1, last), where, 2)) {
        event.x = where[0];
        event.y = where[1];
    }
    if (kind == 'B') {
        event.type = GNUPLOT_EVENT_CLICK;
        event.button = code;
    } else {
        event.type = GNUPLOT_EVENT_KEY;
        event.key = code;
        event.character = code > 0 && code < 256 ? code : 0;
    }
    return true;
}

// Gone: closed, and no plot of the library's since that opened it again
// (x11's do not). A caller's line may have, or not: it is not waited on.
bool window_gone(const WindowEvents &window, bool reopens) {
    return window.closed && !(reopens && !window.closed_for_good && window.drawn_since_close);
}

// The terminal, or "" before any plot. gnuplot may misread a line that it
// reads while a window closes, and then answers with an error: asked twice.
bool terminal_of_graph(Handle &handle, const Deadline &deadline, Answer &answer) {
    const Asked asked{Asked::text, "exists(\"GPVAL_LAST_PLOT\")?GPVAL_TERM:\"\""};
    return value_of(handle, asked, deadline.left_ms(), answer) ||
           (answer.outcome == Outcome::answered &&
            value_of(handle, asked, deadline.left_ms(), answer));
}

Outcome wait_for_events(Handle &handle, const Deadline &deadline,
                        const std::function<bool()> &enough) {
    return wait_on_channel(
        handle,
        [&] {
            read_arrived_answers(handle);
            send_waiting_frame(handle, Deadline(0));
            return enough();
        },
        deadline);
}

int next_event(Handle &handle, gnuplot_event &event, int timeout_ms) {
    const Deadline deadline(timeout_ms);
    std::deque<gnuplot_event> &queue = handle.window.queue;
    if (bind_window(handle, true, deadline, "no event read") == -1 && queue.empty())
        return -1;
    const Outcome outcome = wait_for_events(handle, deadline, [&] { return !queue.empty(); });
    if (!queue.empty()) {
        event = queue.front();
        queue.pop_front();
        return 0;
    }
    if (outcome == Outcome::ended)
        report_failure(Outcome::ended, "no event read");
    return -1;
}

int wait_closed(Handle &handle, int timeout_ms) {
    const char *const consequence = "cannot wait for the window";
    if (window_gone(handle.window, true))
        return 0; // closed, and nothing plotted since
    const Deadline deadline(timeout_ms);
    if (send_waiting_frame(handle, deadline) == Outcome::ended) {
        report_failure(Outcome::ended, consequence);
        return -1;
    }
    Answer answer;
    if (!terminal_of_graph(handle, deadline, answer)) {
        if (answer.outcome == Outcome::ended || answer.outcome == Outcome::unfinished)
            report_failure(answer.outcome, consequence);
        return -1;
    }
    if (!is_window_terminal(answer.value))
        return 0;
    if (bind_window(handle, false, deadline, consequence) == -1)
        return -1;
    const bool reopens = answer.value != "x11";
    const Outcome outcome =
        wait_for_events(handle, deadline, [&] { return window_gone(handle.window, reopens); });
    if (outcome == Outcome::answered)
        return 0;
    if (outcome == Outcome::ended)
        report_failure(outcome, consequence);
    return -1;
}

} // namespace

void take_window_event(Handle &handle, const std::string &payload) {
    WindowEvents &window = handle.window;
    gnuplot_event event;
    if (!read_event(payload, event))
        return;
    if (event.type == GNUPLOT_EVENT_CLOSE) {
        if (window.closed && !window.sent_since_close)
            return; // the same close again
        window.closed = true;
        window.closed_for_good = payload == "Cx11";
        window.sent_since_close = window.drawn_since_close = false;
    }
    if (window.queue.size() == most_events_kept)
        window.queue.pop_front();
    window.queue.push_back(event);
}

void window_may_reopen(Handle &handle) {
    handle.window.sent_since_close = true;
}

void window_redrawn(Handle &handle) {
    handle.window.sent_since_close = handle.window.drawn_since_close = true;
}

std::string callers_error(const Handle &handle, std::string error) {
    if (handle.window.close_bound && error == "load/eval nested too deeply")
        error.clear();
    return error;
}

bool is_window_terminal(const std::string &terminal) {
    return terminal == "qt" || terminal == "wxt" || terminal == "x11";
}

} // namespace plot_control

int gnuplot_listen(_GNUPLOT_CTRL_ *handle, const char *names) {
    plot_control::begin_call();
    if (handle == nullptr || names == nullptr)
        return -1;
    try {
        return plot_control::listen_to(plot_control::handle_of(handle), names);
    } catch (const std::bad_alloc &) {
        return -1;
    }
}

int gnuplot_next_event(_GNUPLOT_CTRL_ *handle, gnuplot_event *event, int timeout_ms) {
    plot_control::begin_call();
    if (handle == nullptr || event == nullptr)
        return -1;
    try {
        return plot_control::next_event(plot_control::handle_of(handle), *event, timeout_ms);
    } catch (const std::bad_alloc &) {
        return -1;
    }
}

int gnuplot_wait_closed(_GNUPLOT_CTRL_ *handle, int timeout_ms) {
    plot_control::begin_call();
    if (handle == nullptr)
        return -1;
    try {
        return plot_control::wait_closed(plot_control::handle_of(handle), timeout_ms);
    } catch (const std::bad_alloc &) {
        return -1;
    }
}
