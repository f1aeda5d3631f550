// Internals shared by the library's source files; not installed.
#ifndef CHARTLINK_INTERNAL_H
#define CHARTLINK_INTERNAL_H

#include <cstddef>
#include <cstdio>
#include <string>
#include <type_traits>
#include <vector>

#include <sys/types.h>

#include "chartlink.h"

namespace chartlink {

// One command line: up to CHARTLINK_MAX_COMMAND_LENGTH characters, the
// newline and the terminating NUL.
constexpr std::size_t command_buffer_size = CHARTLINK_MAX_COMMAND_LENGTH + 2;

struct CommandLine {
    char text[command_buffer_size];
};

// Which file a name stood for when a reset handed it to gnuplot, so that a
// name some other program has since reused is never removed.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
};

struct NamedFile {
    std::string name;
    FileIdentity identity;
};

// Data files are written through this block; it lives with the handle, not
// on the caller's stack, and costs nothing per plot. A megabyte keeps the
// system calls for a million points down to a few dozen.
constexpr std::size_t data_block_size = 1024 * 1024;

// Where gnuplot's answers to syncs arrive; see reply_channel.cpp.
struct ReplyChannel {
    std::string directory; // empty until the first sync or save, and once removed
    int read_fd = -1;
    int keep_open_fd = -1; // our own writer, so the FIFO never reports hang-up
    unsigned long last_sync = 0;
    std::string unread;       // received but not yet a whole line
    std::string missed_error; // from an answer that came after its sync gave up
    std::string last_error;   // what gnuplot_last_error() gives
};

// Everything a handle holds beyond the public record, in the same
// allocation. The record comes first, so a handle converts either way.
struct Handle {
    _GNUPLOT_CTRL_ record{};
    std::vector<NamedFile> handed_to_gnuplot; // removal asked of gnuplot by a reset
    ReplyChannel reply;
    double data_block[data_block_size / sizeof(double)]; // text or raw doubles
};
static_assert(std::is_standard_layout_v<Handle>, "the record must convert to its handle");

inline Handle &handle_of(_GNUPLOT_CTRL_ *record) {
    return *reinterpret_cast<Handle *>(record);
}
inline const Handle &handle_of(const _GNUPLOT_CTRL_ *record) {
    return *reinterpret_cast<const Handle *>(record);
}

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
    bool unlimited() const { return at_ms_ < 0; }
    // What poll() takes: -1 without a limit, 0 once passed.
    int left_ms() const;

private:
    long long at_ms_;
};

// As send_line(), but gives up, sending nothing, when the pipe has no room
// for the line before the deadline.
bool send_line_by(_GNUPLOT_CTRL_ *handle, CommandLine &line, const Deadline &deadline);

// Closes the pipe to gnuplot and waits for it, without raising SIGPIPE.
// Returns what pclose returns.
int pclose_quietly(FILE *stream);

// Writes every byte, retrying short writes and EINTR. False on failure.
bool write_all(int fd, const char *data, std::size_t size);

// ---- Program lookup ----------------------------------------------------

struct ProgramPath {
    char text[4096];
};

// The directory holding an executable `name`, built in buffer: "." or a
// PATH entry as written. Null when found nowhere.
const char *find_program(ProgramPath &buffer, const char *name);

// ---- Plot verb and counts ----------------------------------------------

// "plot" for the first plot on a handle, "replot" afterwards.
const char *plot_verb(const _GNUPLOT_CTRL_ *handle);

// Counts one plot sent.
void count_plot(_GNUPLOT_CTRL_ *handle);

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

// Closes the file. When that fails or written is false, removes it and says
// so: false. Otherwise the file becomes the handle's, in its next slot.
bool keep_data_file(_GNUPLOT_CTRL_ *handle, NewDataFile &file, bool written);

// Has gnuplot remove the current data files once it has read them, without
// waiting for it; empties the table.
void hand_data_files_to_gnuplot(_GNUPLOT_CTRL_ *handle);

// After gnuplot has ended: removes every data file the handle still has.
void remove_data_files(_GNUPLOT_CTRL_ *handle);

// ---- Replies -----------------------------------------------------------

// Removes the reply channel, if one was made. Called before gnuplot is
// waited for, so that gnuplot cannot block on it, and again after, in case
// gnuplot made a file there meanwhile.
void close_reply_channel(ReplyChannel &reply);

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
