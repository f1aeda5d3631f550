// Internals shared by the library's source files; not installed.
#ifndef CHARTLINK_INTERNAL_H
#define CHARTLINK_INTERNAL_H

#include <cstddef>
#include <cstdio>
#include <functional>
#include <string>
#include <type_traits>
#include <vector>

#include <climits>

#include <csignal>

#include <sys/types.h>

#include "chartlink.h"
#include "window.h"

namespace chartlink {

// One command line: up to CHARTLINK_MAX_COMMAND_LENGTH characters, the
// newline and the terminating NUL.
constexpr std::size_t command_buffer_size = CHARTLINK_MAX_COMMAND_LENGTH + 2;

struct CommandLine {
    char text[command_buffer_size];
};

// Which file a name stood for when the handle made it, so that a name some
// other program has since reused is never removed.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
};

struct FileFacts {
    FileIdentity identity;
    std::size_t bytes = 0;
};

struct NamedFile {
    std::string name;
    FileFacts facts;
};

// A data file whose graph has been replaced: it goes once gnuplot has
// answered a request sent after the replacing plot.
struct RetiringFile {
    NamedFile file;
    unsigned long after_request; // the last request sent when it retired
    bool handed;                 // a "!rm" line for it has been sent
};

// Data files are written through this block; it lives with the handle, not
// on the caller's stack, and costs nothing per plot. A megabyte keeps the
// system calls for a million points down to a few dozen.
constexpr std::size_t data_block_size = 1024 * 1024;

// Where the lines sent so far leave gnuplot's reader: at the start of a
// command, or within one (after a line ending in a backslash, inside an
// open '{' block or a datablock). See command_boundary.cpp.
class CommandBoundary {
public:
    // Takes lines as they are sent, each ending in a newline.
    void feed(const char *text, std::size_t size);
    // True when gnuplot takes the next line as the start of a command.
    bool at_command_start() const;
    // "(<expression>)" as gnuplot would read it at the end of a line, then
    // a '}' for each '{' it leaves open: a comment cut off, a string left
    // open closed. Read on its own, it leaves gnuplot at a command's start.
    static std::string closed(const char *expression);

private:
    enum class Within { code, double_quoted, single_quoted, comment, shell };
    void take(char c);
    void take_line(const char *line, std::size_t size);
    void end_statement();

    Within within_ = Within::code;
    bool escaped_ = false; // after a backslash in a double-quoted string
    bool joined_ = false;  // the last line ended in a backslash
    int depth_ = 0;        // '{' open
    std::string statement_;
    std::vector<std::string> datablock_ends_; // the lines that end the datablocks to come
};

// Where gnuplot's answers arrive: a pipe that gnuplot holds as its
// descriptor 3; see reply_channel.cpp.
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

// Every point of the graph's reduced curve, for saves to draw: every x,
// every y, then records of the reduced rows, in an unlisted owner-only file that
// goes with its descriptor, closed when the curve's data file retires or
// the handle closes.
struct ReducedCurve {
    int fd = -1;
    std::string data_file; // the file gnuplot reads, which holds the reduced rows
    std::size_t every_bytes = 0, reduced_bytes = 0;

    ReducedCurve() = default;
    ReducedCurve(const ReducedCurve &) = delete;
    ReducedCurve &operator=(const ReducedCurve &) = delete;
    ~ReducedCurve() { forget(); }
    void forget();
};

// Everything a handle holds beyond the public record, in the same
// allocation. The record comes first, so a handle converts either way.
struct Handle {
    _GNUPLOT_CTRL_ record{};
    pid_t gnuplot_pid = -1;
    pid_t opener_pid = -1; // a forked child's close leaves gnuplot and the files alone
    CommandBoundary boundary;
    ReplyChannel reply;
    FileFacts table[CHARTLINK_MAX_TEMP_FILES]; // beside record.temp_files, slot for slot
    std::vector<NamedFile> shown;              // the graph still on screen after a reset
    std::vector<RetiringFile> retiring;
    const char *graph_verb = nullptr; // "plot" or "splot": began the graph; null before
    ReducedCurve reduced;
    WindowEvents window;
    LiveCurve live;
    // The stream's buffer: no larger than a write into the pipe that cannot
    // be split or interrupted once the pipe has room.
    char stream_buffer[PIPE_BUF];
    double data_block[data_block_size / sizeof(double)]; // text or raw doubles
};
static_assert(std::is_standard_layout_v<Handle>, "the record must convert to its handle");

inline Handle &handle_of(_GNUPLOT_CTRL_ *record) {
    return *reinterpret_cast<Handle *>(record);
}
inline const Handle &handle_of(const _GNUPLOT_CTRL_ *record) {
    return *reinterpret_cast<const Handle *>(record);
}

// ---- Messages ----------------------------------------------------------

// Writes a refusal or failure on standard error, as it stands, and keeps it
// (without its newline) for gnuplot_last_message() in this thread.
void say(const char *message);
void say_formatted(const char *format, ...) CHARTLINK_PRINTF_FORMAT(1, 2);

// The same for a warning: the call still goes on.
void warn(const char *message);

// Every public operation starts so: nothing said, nothing refused yet.
void begin_call();

// ---- Sending -----------------------------------------------------------

// Formats a line the library builds itself (printf-style, texts and whole
// numbers only, so the locale cannot change it). False, with the message on standard error,
// when the result would not fit on one line or holds a newline.
bool format_own_command(CommandLine &line, const char *format, ...) CHARTLINK_PRINTF_FORMAT(2, 3);

// Sends a finished line and its newline, whole and after anything the caller
// wrote to command_stream itself. False when gnuplot has stopped reading.
bool send_line(_GNUPLOT_CTRL_ *handle, CommandLine &line);

// When a wait gives up: after some milliseconds, or never.
class Deadline {
public:
    // timeout_ms from now; a negative timeout_ms never passes.
    explicit Deadline(int timeout_ms);
    bool unlimited() const { return at_ns_ < 0; }
    // What poll() takes: -1 without a limit, 0 once passed.
    int left_ms() const;

private:
    long long at_ns_; // on the monotonic clock
};

// As send_line(), but gives up, sending nothing, when the pipe has no room
// for the line before the deadline.
bool send_line_by(_GNUPLOT_CTRL_ *handle, CommandLine &line, const Deadline &deadline);

// Sends lines in one write, so that gnuplot gets all or, when the deadline
// passes first, none of them. False too when together, newlines included,
// they exceed PIPE_BUF bytes.
bool send_lines_by(_GNUPLOT_CTRL_ *handle, const CommandLine *const lines[], std::size_t count,
                   const Deadline &deadline);

// A write must not kill the caller: SIGPIPE when gnuplot has ended, SIGXFSZ
// when a data file passes the caller's file size limit; their writes fail
// instead. The process-wide disposition is the caller's, so the signal is
// blocked in this thread while an object of this lives, and one its writes
// raised is consumed.
class SignalBlock {
public:
    explicit SignalBlock(int signal);
    ~SignalBlock();
    SignalBlock(const SignalBlock &) = delete;
    SignalBlock &operator=(const SignalBlock &) = delete;

private:
    sigset_t signal_{};
    sigset_t saved_mask_{};
    bool already_pending_ = false;
};

// Writes every byte, retrying short writes and EINTR. False on failure.
bool write_all(int fd, const char *data, std::size_t size);

// Appends what a non-blocking descriptor has to read, without waiting.
void read_available(int fd, std::string &into);

// A descriptor the library keeps is never 0, 1 or 2: with the caller's
// standard streams closed, it would take their place, and whatever the
// program prints would reach it. Returns fd, or its close-on-exec copy
// above 2 (the original closed); -1 when none can be made.
int move_off_standard_streams(int fd);

// ---- gnuplot's process ------------------------------------------------

// Starts gnuplot through the shell: its standard input is the pipe behind
// command_stream, its descriptor 3 the reply channel's pipe. False when it
// cannot.
bool start_gnuplot(Handle &handle);

// True in the process that opened the handle, not in a forked child.
bool is_opener(const Handle &handle);

// Closes the reply channel, then the command pipe, and waits for gnuplot
// to end; in a process other than the opener, only closes. False when the
// wait fails.
bool end_gnuplot(Handle &handle);

// ---- Program lookup ----------------------------------------------------

struct ProgramPath {
    char text[4096];
};

// The directory holding an executable `name`, built in buffer: "." or a
// PATH entry as written. Null when found nowhere.
const char *find_program(ProgramPath &buffer, const char *name);

// ---- Plot verb and counts ----------------------------------------------

// `first` ("plot", or "splot" for 3-D) for the first plot on a handle,
// "replot" afterwards. Null, with the message, when the graph began with
// the other verb: gnuplot keeps 2-D and 3-D graphs apart.
const char *plot_verb(const _GNUPLOT_CTRL_ *handle, const char *first = "plot");

// Counts one plot sent with `verb`, a literal plot_verb() gave.
void count_plot(_GNUPLOT_CTRL_ *handle, const char *verb);

// A reset: the next plot begins a graph of either kind.
void forget_plots(_GNUPLOT_CTRL_ *handle);

// ---- Data files --------------------------------------------------------

// Data files are made from this template in /tmp; mkostemp fills the X's.
constexpr char data_file_template[] = "/tmp/chartlink-XXXXXX";

struct NewDataFile {
    char name[sizeof data_file_template];
    int fd = -1;
};

// True when the handle has a free slot; else false, with the message.
bool data_slot_free(const _GNUPLOT_CTRL_ *handle);

// Creates a data file, close-on-exec and owner-only. False, with the
// message, when it cannot.
bool create_data_file(NewDataFile &file);

// The same, saying nothing when it cannot.
bool make_data_file(NewDataFile &file);

// Closes the file. When that fails or written is false, removes it and says
// so: false. Otherwise the file becomes the handle's, in its next slot.
bool keep_data_file(_GNUPLOT_CTRL_ *handle, NewDataFile &file, bool written);

// A reset: the current data files become those of the graph on screen,
// and the table empties. Retired files may go to gnuplot in a batch.
void set_data_files_aside(_GNUPLOT_CTRL_ *handle);

// A plot has replaced the graph on screen: its files retire.
void retire_shown_graph(_GNUPLOT_CTRL_ *handle);

// gnuplot has answered `request`, so it has carried out every line sent
// before it: files retired before that are removed.
void gnuplot_has_answered(Handle &handle, unsigned long request);

// After gnuplot has ended: removes every data file the handle still has.
// Allocates nothing.
void remove_data_files(_GNUPLOT_CTRL_ *handle);

// ---- Data plots --------------------------------------------------------

// Plots x and y as gnuplot_plot_columns() would with these two columns,
// and as its refusals say, in two steps. First the data file holds only the
// rows listed in preview; choose(line, rows) may send line (the plot
// command) to learn how gnuplot draws it, and returns true with the rows to
// plot, or false for all of them. Then the file holds those rows, and the
// line goes out.
void plot_chosen_pairs(
    _GNUPLOT_CTRL_ *handle, const double *x, const double *y, int count, const char *title,
    const std::vector<std::size_t> &preview,
    const std::function<bool(const CommandLine &, std::vector<std::size_t> &)> &choose);

// Writes x and y as records of two native doubles, every row or those
// listed, through the handle's block. False when a write fails.
bool write_pairs(_GNUPLOT_CTRL_ *handle, int fd, const double *x, const double *y,
                 std::size_t count, const std::vector<std::size_t> *rows);

// ---- Reduced plots -----------------------------------------------------

// While an object of this lives, the graph's reduced curve, if any, has
// every point in its data file, so that a save draws what the full plot
// would; afterwards the reduced ones again.
class EveryPointDrawn {
public:
    explicit EveryPointDrawn(Handle &handle);
    ~EveryPointDrawn();
    EveryPointDrawn(const EveryPointDrawn &) = delete;
    EveryPointDrawn &operator=(const EveryPointDrawn &) = delete;

private:
    Handle &handle_;
    bool swapped_; // the data file holds every point
};

// ---- Replies -----------------------------------------------------------

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

// Sends a request as ask_gnuplot() does and returns without waiting for
// its answer: answered here means sent, as request reply.last_request.
Outcome post_request(Handle &handle, const Asked &asked, const CommandLine *const between[],
                     std::size_t between_count, const Deadline &deadline);

// Takes in what gnuplot has written on the channel, without waiting.
void file_records(Handle &handle);

// Takes in records until done() holds (answered), the deadline passes or
// gnuplot ends.
Outcome wait_on_channel(Handle &handle, const std::function<bool()> &done,
                        const Deadline &deadline);

// True once gnuplot has ended or stopped reading its pipe.
bool gnuplot_has_ended(const Handle &handle);

// True once the opener's gnuplot process has exited (not yet waited for).
bool gnuplot_has_exited(const Handle &handle);

// Says on standard error why a request was not answered, and so what
// could not be done: "gnuplot has ended: <consequence>\n" and the like.
void report_failure(Outcome outcome, const char *consequence);

// Sends a request, with a save's lines (at most 5) between its opening and
// closing lines, and waits for its answer. With lines between, errors from
// before them are kept for the next sync and answer.error is theirs alone;
// otherwise it is gnuplot's latest. Says nothing when not answered.
Outcome ask_gnuplot(Handle &handle, const Asked &asked, const CommandLine *const between[],
                    std::size_t between_count, const Deadline &deadline, Answer &answer);

// Asks gnuplot for a value, as the gets do: true with answer.value; false
// with gnuplot's message in answer.error, or with none and why in
// answer.outcome when gnuplot gave no answer (nothing said). An error from
// before waits for the next sync.
bool value_of(Handle &handle, const Asked &asked, int timeout_ms, Answer &answer);

// Reads count numbers separated by single blanks, the whole text; false
// when it holds anything else.
bool read_numbers(const std::string &text, double *numbers, int count);

// A file name as a gnuplot string that stands for exactly that file, as
// open() would take it: no pipe, no '~', quotes as quotes.
std::string exact_file_name(const char *file_name);

// ---- Numbers -----------------------------------------------------------

// Longest text format_number() writes.
constexpr std::size_t max_number_length = 32;

// Writes value as printf's %g would when that text reads back as the same
// double, else as the shortest text that does; independent of the locale.
// Needs max_number_length bytes at first; returns the end of the text.
char *format_number(char *first, double value);

// As format_number(), for a command line: a whole number too large for
// gnuplot's 64-bit integers is written in exponent form instead.
char *format_command_number(char *first, double value);

} // namespace chartlink

#endif
