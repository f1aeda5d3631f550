// The plot window's events and the live curve: what a handle keeps of them;
// provided by window_events.cpp and live_plots.cpp.
#ifndef PLOT_CONTROL_WINDOW_H
#define PLOT_CONTROL_WINDOW_H

#include <deque>
#include <string>
#include <vector>

#include "chartlink.h"

namespace plot_control {

struct Handle;
class Deadline;
enum class Outcome;

// The kind of an event's record on the reply channel (its number is 0,
// which no request has): a binding prints it when gnuplot runs it.
constexpr char window_event_kind = 'W';

struct WindowEvents {
    std::deque<gnuplot_event> queue; // heard, not yet handed over
    int has_mouse = -1;              // gnuplot has bind: 1 or 0; -1 before asked
    bool close_bound = false;        // the bindings sent so far
    bool clicks_bound = false;
    bool closed = false;            // a Close has come
    bool sent_since_close = false;  // and a plot or a caller's line went out after it
    bool drawn_since_close = false; // a plot or live frame of the library's did
    bool closed_for_good = false;   // on x11, where plots open no window again
};

// One curve whose data each frame replaces: the newest frame goes out once
// gnuplot has answered the request after the one before.
struct LiveCurve {
    std::string file;    // its data file, in the handle's table; "" before the first frame
    std::string spare;   // the file it trades names with, in the table; "" before the second
    bool window = false; // drawn in a window, as the last frame's answer says
    unsigned long caller_line_before = 0; // answers to requests before it tell no more
    unsigned long in_flight = 0;          // the request sent after the last frame
    bool waiting = false;                 // a frame waits to be sent
    std::vector<double> x, y;             // that frame
};

// Files an event's record, as a binding printed it.
void take_window_event(Handle &handle, const std::string &payload);

// A caller's line went out: a window closed before may open again, so a
// close that follows counts anew.
void window_may_reopen(Handle &handle);

// A plot or live frame of the library's went out: a window closed before
// shows again.
void window_redrawn(Handle &handle);

// The caller sent a line, which may change the terminal or open a closed
// window: the live curve's frames wait for the next frame's answer to tell.
void caller_line_sent(Handle &handle);

// A value gnuplot gave for a request that no wait took: a live frame's
// request gives the terminal it was drawn on.
void take_late_value(Handle &handle, unsigned long request, const std::string &value);

// gnuplot's error, unless it is one that only the library's bindings cause
// (a flood of events that gnuplot 5.4 runs nested until it gives up).
std::string callers_error(const Handle &handle, std::string error);

// The window terminals.
bool is_window_terminal(const std::string &terminal);

// Sends the live curve's waiting frame once gnuplot has answered the one
// before, waiting for that no longer than deadline: answered once no frame
// waits; timed_out or unfinished (the caller's command) while one still
// does; ended.
Outcome send_waiting_frame(Handle &handle, const Deadline &deadline);

} // namespace plot_control

#endif
