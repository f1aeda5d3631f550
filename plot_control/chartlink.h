/*
 * chartlink: drive the plotting program gnuplot from C or C++.
 *
 * A handle owns one gnuplot process, started through the shell ("sh -c gnuplot",
 * by posix_spawn) with its standard input on a pipe. The library writes one
 * command line at a time into that pipe. gnuplot's own complaints (a bad
 * expression, an unreadable file) go to the caller's standard error as they
 * happen; gnuplot_sync(), gnuplot_save() and the gets hear back whether gnuplot
 * has carried out what it was sent, and its error.
 *
 * Lifecycle:
 *   1. Open:      gnuplot_init() finds gnuplot and starts it.
 *   2. Plot:      gnuplot_cmd() sends any line; gnuplot_setstyle() and the axis
 *                 labels shape what follows; the plot operations draw. The
 *                 first plot on a handle uses the verb "plot" ("splot" in 3-D),
 *                 every later one "replot", so curves pile up on one graph.
 *   3. Hear back: gnuplot_sync() waits for gnuplot, gnuplot_save() writes the
 *                 graph into a file, the gets read values back.
 *   4. Reset:     gnuplot_resetplot() forgets the plots; the next starts a new
 *                 graph.
 *   5. Close:     gnuplot_close() ends gnuplot, deletes the data files and frees
 *                 the handle.
 * gnuplot_plot_once() does it all in one call.
 *
 * Below, each operation has one to three lines; what all operations of a step
 * share comes before them. At the end: "Lines sent", the exact lines each
 * operation sends, and "Messages", every message the library writes.
 *
 * Failure, for every operation:
 *   - Only the operations of Hear back and Windows return a status. A
 *     failure or warning is one fixed message on standard error, with no
 *     prefix (see Messages; some end without a newline). gnuplot_last_message()
 *     and gnuplot_last_refused() tell the calling thread afterwards.
 *   - A null handle, or a null text or array the operation needs, makes it
 *     return at once: nothing is sent, nothing changes, nothing is said.
 *   - A command line holds at most CHARTLINK_MAX_COMMAND_LENGTH characters
 *     before its newline; a longer one is refused whole, never cut. A line the
 *     library builds from a title, label or expression holding a newline is
 *     refused too: it would make two commands of one.
 *   - A refused plot sends nothing, changes no count and leaves no file.
 *   - Writes into the pipe of a gnuplot that has ended fail quietly; they never
 *     raise SIGPIPE in the caller, whose signal handling stays as it was.
 *
 * Ownership: the caller holds the handle from gnuplot_init() until it hands it
 * to gnuplot_close(), which frees it whatever happens. The handle owns its
 * gnuplot process and its data files. Arrays, titles, labels, expressions and
 * file names stay the caller's and are only read during the call. Texts the
 * library returns are its own: each operation says how long they stay valid.
 * In a process forked from the opener, gnuplot_close() frees only that
 * process's memory and descriptors: gnuplot and the data files stay the
 * opener's.
 *
 * Threads and signals: separate handles may be opened and used from separate
 * threads at once; one handle is used by one thread at a time. Every line the
 * library sends reaches gnuplot whole and in order, after anything written to
 * command_stream directly, even when signals interrupt the writes. Nothing the
 * library opens is inherited by programs started meanwhile (close-on-exec), nor
 * takes the place of a standard stream the caller has closed. command_stream is
 * fully buffered in PIPE_BUF bytes; leave its buffering as it is. What you write
 * to it yourself goes through stdio, which loses bytes when a signal handler
 * without SA_RESTART interrupts a write into a full pipe: under such signals,
 * send through gnuplot_cmd(). A wait for gnuplot blocks no signal of yours.
 *
 * Trust: titles, labels and expressions reach gnuplot unchanged. A double quote
 * in them ends gnuplot's string, and backquotes inside double-quoted text make
 * gnuplot run a shell command. Pass only text you trust. File names given to
 * gnuplot_save() are quoted so that gnuplot expands nothing in them.
 *
 * Numbers: data files and command lines hold each number as printf's %g would
 * write it when that reads back as the same double, else as the shortest text
 * that does ("0.5", "2", "1e-05", "0.3333333333333333"), and data files "nan",
 * "inf", "-inf", "-0"; the same in any locale. In a command line a whole number
 * beyond gnuplot's 64-bit integers is written in exponent form. gnuplot reads
 * text files in the locale it was told to use: after "set decimalsign locale"
 * with a German one, 2.75 reads as 2. Columns travel as raw doubles instead,
 * read alike anywhere.
 */
#ifndef CHARTLINK_H
#define CHARTLINK_H

#include <stdio.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__) || defined(__clang__)
#define CHARTLINK_PRINTF_FORMAT(format_index, first_arg) \
    __attribute__((format(printf, format_index, first_arg)))
/* The library is built with hidden symbols but for these. */
#pragma GCC visibility push(default)
#else
#define CHARTLINK_PRINTF_FORMAT(format_index, first_arg)
#endif

/* Bytes of a style name, NUL included. */
#define CHARTLINK_STYLE_SIZE 32
/* Data files one handle can hold before a reset or close. */
#define CHARTLINK_MAX_TEMP_FILES 64
/* Bytes of one data file's path, NUL included. */
#define CHARTLINK_TEMP_NAME_SIZE 512
/* Longest command line, in characters before its newline. */
#define CHARTLINK_MAX_COMMAND_LENGTH 2046
/* Most columns gnuplot_plot_columns() takes. */
#define CHARTLINK_MAX_COLUMNS 8
/* Most bins gnuplot_plot_histogram() takes. */
#define CHARTLINK_MAX_BINS 1000000
/* Longest function-plot title in bytes; longer ones are cut at a UTF-8
 * character boundary. */
#define CHARTLINK_MAX_TITLE_LENGTH 79

/* The control record behind a handle. Read its fields if you like; change
 * them only through the operations below. */
typedef struct _GNUPLOT_CTRL_ {
    FILE *command_stream;             /* write end of the pipe to gnuplot */
    int plot_count;                   /* plots sent since open or reset: picks plot/replot */
    char style[CHARTLINK_STYLE_SIZE]; /* one of the nine style names */
    char temp_files[CHARTLINK_MAX_TEMP_FILES][CHARTLINK_TEMP_NAME_SIZE];
    int temp_file_count; /* slots 0 .. temp_file_count-1 hold data files */
} _GNUPLOT_CTRL_;

/* ---- 1. Open ---------------------------------------------------------- */

/* Starts gnuplot, found as gnuplot_get_program_path("gnuplot") finds it, and
 * returns a new handle with style "points" and no plots; still opens after a
 * DISPLAY warning. Null, having started nothing, when it cannot (Messages). */
_GNUPLOT_CTRL_ *gnuplot_init(void);

/* The directory holding an executable `name`: "." (tried first), else the PATH
 * entry as written (an empty one is "."); candidates over 4095 bytes skipped.
 * Null when nowhere or PATH is unset. Valid until the thread's next call. */
char *gnuplot_get_program_path(const char *name);

/* ---- 2. Plot ---------------------------------------------------------- */

/* Sends the line printf would format, and a newline: newlines in it go out as
 * formatted, and it is no plot. Send your own text as gnuplot_cmd(h, "%s",
 * text): as the format, a '%' in it is misread. */
void gnuplot_cmd(_GNUPLOT_CTRL_ *handle, const char *format, ...) CHARTLINK_PRINTF_FORMAT(2, 3);

/* Sets the style of the plots that follow: "lines", "points", "linespoints",
 * "impulses", "dots", "steps", "errorbars", "boxes" or "boxerrorbars", byte for
 * byte. Any other name, null too, warns and gives "points". Sends nothing. */
void gnuplot_setstyle(_GNUPLOT_CTRL_ *handle, const char *style);

/* Set the x or y axis label. No plots. */
void gnuplot_set_xlabel(_GNUPLOT_CTRL_ *handle, const char *label);
void gnuplot_set_ylabel(_GNUPLOT_CTRL_ *handle, const char *label);

/* Plots an expression of x in gnuplot's syntax, such as "sin(x)". A null title
 * is sent as "no title"; one over CHARTLINK_MAX_TITLE_LENGTH bytes is cut. */
void gnuplot_plot_equation(_GNUPLOT_CTRL_ *handle, const char *equation, const char *title);

/* Plots the line a * x + b, titled as gnuplot_plot_equation(); a and b are
 * written as Numbers says. Refused when either is infinite or NaN. */
void gnuplot_plot_slope(_GNUPLOT_CTRL_ *handle, double a, double b, const char *title);

/* Data plots. The values go into a new data file, /tmp/chartlink-XXXXXX,
 * owner-only and close-on-exec, that the plot line names; the handle lists it
 * in temp_files (CHARTLINK_MAX_TEMP_FILES until a reset). After a reset the
 * files of the graph still on screen stay (a window re-reads them to zoom, and
 * so does a replot) until the next plot replaces that graph; then they go once
 * gnuplot has answered a request sent after that plot, removed by the library
 * with no shell. When 16 such files, or 16 MiB of them, wait for an answer, a
 * reset hands them to gnuplot to remove once it has read them. Close removes
 * the rest. A null title leaves the title clause out. Each returns silently
 * for a null handle, array or column, or a count below 1; a data file that
 * cannot be made or written in full is refused, removed, no count changed. */

/* Plot count values of x, one per line, or count x/y pairs, as text. */
void gnuplot_plot_x(_GNUPLOT_CTRL_ *handle, const double *x, int count, const char *title);
void gnuplot_plot_xy(_GNUPLOT_CTRL_ *handle, const double *x, const double *y, int count,
                     const char *title);

/* Plots count rows of column_count columns, 1 to CHARTLINK_MAX_COLUMNS (row i:
 * columns[0][i], columns[1][i], ...), as raw doubles, exact and fast to read:
 * one column against its row number; three with "errorbars" are x, y, y error. */
void gnuplot_plot_columns(_GNUPLOT_CTRL_ *handle, const double *const columns[], int column_count,
                          int count, const char *title);

/* Reduced plots. With style "lines" (or a curve style of "lines" alone or with
 * "lc <n>" or "lc rgb '<colour>'") on a terminal that sets whole pixels
 * (png, gif, jpeg, sixelgd, x11) the data file holds only the points that can
 * change a pixel: per pixel column of the plot area the first, last, lowest
 * and highest; outside the ranges a run keeps only its ends. The image is then
 * the full plot's, pixel for pixel, while nothing later changes the x range or
 * margins (a curve widening autoscale, a window's zoom).
 *
 * To find the plot area it asks gnuplot for the terminal, output and settings,
 * plots the same line over a file of only the points that decide autoscale
 * (those nearest a fixed range's ends included) into no file, sets the
 * caller's output again and reads the area and the ranges (see Lines sent).
 * Like a request, this leaves gnuplot's `print` on standard error; gnuplot's
 * warnings about the axes or texts (tics, enhanced text) appear twice.
 *
 * It plots every point, only slower, where the reduced points could draw
 * otherwise: another style; antialiasing terminals (pngcairo, qt, wxt),
 * character cells (dumb) and terminals without pixels (unknown, svg, pdf...);
 * x not ascending, values not finite or beyond 1e300; a range gnuplot would
 * find empty or too narrow (and warn); no point inside a fixed range; a graph
 * that already has curves; an output file holding an image already;
 * `set terminal gif animate`; log, nonlinear or polar axes; a fixed aspect
 * ratio; multiplot; `set table` into a file (seen in /proc; a table into a datablock
 * is not seen: plot every point there); a dashed linetype 1 or user line
 * styles; an unfinished command; or no answer within 10 s.
 *
 * gnuplot_save() draws every point: the handle keeps them in an unlisted file
 * until the curve's graph is replaced or the handle closes, and swaps them
 * into the data file while the save draws (a warning when it cannot keep them:
 * saves then draw the reduced ones). */

/* Plots what gnuplot_plot_columns() of the columns x and y would (the same line,
 * verb, title, data file and refusals), reduced to the points that can change a
 * pixel where that draws the same image. */
void gnuplot_plot_xy_reduced(_GNUPLOT_CTRL_ *handle, const double *x, const double *y, int count,
                             const char *title);

/* 3-D and grids. gnuplot draws 2-D and 3-D plots on separate graphs: a plot
 * of the other kind than the graph's first (any 2-D plot after a 3-D one, or
 * back) is refused until a reset. Plots sent through gnuplot_cmd() are not
 * tracked. Data files, their table, limits and removal, and titles, are those
 * of the data plots; the values travel as raw doubles, exact. Each returns silently for a
 * null handle, array, column or values, or a count, rows or columns below 1. */

/* Plots count rows in 3-D with the handle's style: columns[0..2] are x, y and
 * z, further ones (CHARTLINK_MAX_COLUMNS in all) for styles that read more. */
void gnuplot_splot_columns(_GNUPLOT_CTRL_ *handle, const double *const columns[], int column_count,
                           int count, const char *title);

/* A heatmap: values[r * columns + c] at (x[c], y[r]), a null x meaning x[c] = c
 * and a null y y[r] = r, each cell in its value's palette colour whatever the
 * style; uneven coordinates draw cells reaching halfway to their neighbours. */
void gnuplot_plot_grid(_GNUPLOT_CTRL_ *handle, const double *x, const double *y,
                       const double *values, int rows, int columns, const char *title);

/* The same grid as a surface coloured by value. Both grids refuse a single row
 * or column, and an x or y that is infinite, NaN, or so large that a cell is. */
void gnuplot_splot_grid(_GNUPLOT_CTRL_ *handle, const double *x, const double *y,
                        const double *values, int rows, int columns, const char *title);

/* ---- 3. Hear back ----------------------------------------------------- */

/* Requests. A sync, a save and a get each send a request: a blank line (which
 * ends a caller's "pause -1" harmlessly), then lines that make gnuplot answer
 * through a pipe it holds as its descriptor 3 (no file is made; leave that
 * descriptor to the library).
 * Afterwards gnuplot's `print` writes to standard error, its default, and its
 * error variables are cleared (`reset errors`). An error counts only when
 * gnuplot gives a message: a failed shell command, or an `exit error ""`, does
 * not. gnuplot never waits on the pipe once the caller has gone. Needs gnuplot
 * 5.2 or later.
 *
 * A request goes out only where gnuplot starts a new command. After a line
 * ending in a backslash, inside a '{' block still open (braces in strings,
 * comments and "!" shell lines do not count) or inside a datablock ("$d << EOD"
 * up to a line starting with EOD), a sync, save or get returns -1 at once,
 * sending nothing, after "the last command is unfinished: ..."; send the rest
 * of your command first. The library follows every line it sends, as written:
 * not bytes written to command_stream directly, what a macro (@name) or an eval
 * expands to, inline data after a plot of '-', nor a datablock that a failing
 * statement before it on its line never starts.
 *
 * Results: 0 when all went well; 1 with gnuplot's message, whole, in
 * gnuplot_last_error(); -1 after a message when gnuplot has ended or timeout_ms
 * milliseconds passed (a negative timeout_ms waits without limit), and -1 at
 * once, sending nothing, for a null handle or argument or a refused line. A
 * late answer to a request that timed out never counts for a later one. The
 * library takes such an answer in whenever it waits to send, but a write of
 * yours into command_stream cannot, and may block until the next request if
 * the answer is large: send through gnuplot_cmd() then. A sync with a
 * timeout_ms of 0 sends nothing (but a live curve's waiting frame, when gnuplot
 * is done with the one before) and waits for nothing: 0 or 1 once gnuplot has
 * answered every request sent before, else -1, quietly (gnuplot_last_message()
 * is "") while gnuplot is busy, or with the message once it has ended. To keep
 * a window until the user closes it, use gnuplot_wait_closed(), not "pause
 * mouse close", which blocks gnuplot for good once the window is gone. */

/* Returns once gnuplot has carried out every line sent before (data files
 * read, plots drawn): 1 for an error since the last request that reported one,
 * then cleared, so an error from before a save or a get is reported here. */
int gnuplot_sync(_GNUPLOT_CTRL_ *handle, int timeout_ms);

/* gnuplot's message from the last sync, save or get that returned 1, else "";
 * "" for a null handle. Valid until the handle's next sync, save, get or close. */
const char *gnuplot_last_error(const _GNUPLOT_CTRL_ *handle);

/* Saves. The extension picks the format, in either case: .png (pngcairo),
 * .svg, .pdf (pdfcairo), .eps (epscairo) or .txt (dumb); any other, or a name
 * holding a line break, is refused. The file is exactly the one named, as
 * open() would take it: a relative name is sent as "./<name>", so gnuplot
 * neither runs a pipe for a leading '|' nor expands '~', and quotes reach
 * gnuplot as quotes. When the file cannot be opened, or nothing has been
 * plotted, nothing is drawn anywhere and an existing file is left as it was.
 * The caller's terminal is set again afterwards with the options gnuplot
 * reports, and one the caller pushed stays pushed (an option gnuplot does not
 * report, as png's noenhanced, returns to its default). An output file the
 * caller had set is finished and closed, and gnuplot's output is standard
 * output again: set it anew to go on (which starts that file afresh). */

/* Writes the current graph into file_name and returns once the file is complete
 * and closed: 0, or 1 with gnuplot's message for the save itself (an earlier
 * error waits for the next sync), or -1. No time limit. */
int gnuplot_save(_GNUPLOT_CTRL_ *handle, const char *file_name);

/* Gets. A number comes back exactly (the double gnuplot holds, its integers as
 * doubles, whatever decimal sign gnuplot writes); a string or a complex value
 * gives 1 ("not a real number: <re> <im>" for a complex one). A text comes
 * back exactly as gnuplot holds it, any bytes, any length, an integer in
 * decimal; other numbers are no text to gnuplot: 1 and its message. The
 * expression travels as a string that gnuplot evaluates, so any text gets an
 * answer, gnuplot's message when it rejects it: a comment is cut off, and a
 * string or '{' it leaves open is closed (a macro that expands to an open '{'
 * is beyond this). One longer than about 1,900 bytes is refused as too long.
 * An error from before the call waits for the next sync when the expression
 * succeeds (gnuplot keeps one message: a failing expression's replaces it).
 * Examples: "GPVAL_X_MAX" after a plot, "a" after a fit, "STATS_mean" after
 * stats, "MOUSE_X" after "pause mouse button1". */

/* Evaluate expression (gnuplot's syntax, one line) after every line sent
 * before: 0 with its value in *value or *text (the handle's, valid until its
 * next sync, get, save or close); 1 or -1 with them untouched. */
int gnuplot_get_number(_GNUPLOT_CTRL_ *handle, const char *expression, double *value,
                       int timeout_ms);
int gnuplot_get_text(_GNUPLOT_CTRL_ *handle, const char *expression, const char **text,
                     int timeout_ms);

/* The message the calling thread's last operation wrote on standard error,
 * without its newline, or "" (after gnuplot_plot_once(), its plot's). Refusals
 * and failures always write one, so after one this tells why. Valid until the
 * thread's next operation. */
const char *gnuplot_last_message(void);

/* 1 when the calling thread's last operation was refused or failed, so that
 * gnuplot_last_message() tells why; 0 when it was carried out, even with a
 * warning (an unknown style, say). */
int gnuplot_last_refused(void);

/* 1 while the handle's gnuplot runs and reads its pipe; 0 once it has ended,
 * and for a null handle. Sends nothing. */
int gnuplot_is_running(const _GNUPLOT_CTRL_ *handle);

/* ---- 4. Reset --------------------------------------------------------- */

/* Forgets the plots, so the next one starts a new graph, and sets both counts
 * to 0; the style stays. The data files go as Data plots says. Never waits for
 * gnuplot (with the pipe full, a removal line waits for a later reset). */
void gnuplot_resetplot(_GNUPLOT_CTRL_ *handle);

/* ---- 5. Close --------------------------------------------------------- */

/* Closes the pipe, waits for gnuplot to end, deletes every data file the handle
 * made that is still there and frees the handle, even when the wait fails. It
 * allocates nothing and never waits on the answer pipe. */
void gnuplot_close(_GNUPLOT_CTRL_ *handle);

/* ---- 6. Windows -------------------------------------------------------- */

/* Events. On a window terminal (qt, wxt, x11) gnuplot runs its key and mouse
 * bindings whenever it waits for the next line. The library binds what it
 * reports (see Lines sent), so each event comes back on the answer pipe
 * beside the answers, in the order it happened, and waits in the handle (the
 * last 4096) until gnuplot_next_event() hands it over; syncs, saves and gets
 * go on working between events, and no `pause` is sent. gnuplot maps the
 * pointer through the graph it drew last: after a save, clicks and keys carry
 * the saved file's coordinates until the window is drawn again. Clicks of
 * button 1 and the close are bound by the first gnuplot_next_event() (the
 * close alone by gnuplot_wait_closed()): events before that are not heard.
 * Like a request, a binding leaves gnuplot's `print` on standard error. A
 * binding of your own for the same key or button, or "reset bind", replaces
 * the library's. Button bindings do not fire on 3-D plots. A close that comes
 * again before a plot or a line of gnuplot_cmd() (x11 reports a destroyed
 * window's up to three times; qt and wxt report none, only a window manager's
 * close) counts once; after one (a replot that reopened the window) it counts
 * anew.
 * Unread events wait in the handle (the newest 4096; older ones are lost) and
 * in the answer pipe (1 MiB where the system allows, some ten thousand events):
 * past that gnuplot waits to write, then runs the events it missed nested and
 * loses some, and its "load/eval nested too deeply" is kept from the results.
 * gnuplot without bindings (gnuplot-nox) is asked once, and said (Messages).
 * gnuplot's end is seen by its pidfd where the system has them, whatever the
 * caller does with SIGCHLD and whatever a window's helper still holds open.
 *
 * Results: 0 when all went well; -1 when timeout_ms milliseconds pass first
 * (a negative timeout_ms waits without limit), quietly, even while gnuplot is
 * busy: bindings not yet answered then still take effect, and their answer is
 * filed away without reaching a later sync; -1 after a message when gnuplot has ended, and at once,
 * sending nothing, for a null handle or argument. A live curve's waiting frame
 * (see gnuplot_plot_live()) is sent on the way. */

enum { GNUPLOT_EVENT_CLICK = 1, GNUPLOT_EVENT_KEY = 2, GNUPLOT_EVENT_CLOSE = 3 };

/* One event of the plot window. */
typedef struct gnuplot_event {
    int type;      /* GNUPLOT_EVENT_CLICK, _KEY or _CLOSE */
    int button;    /* a click's button, 1 to 3; else 0 */
    int key;       /* a key's code, gnuplot's MOUSE_KEY (97 a, 13 Return, 27 Escape,
                    * 1008 Left, 1050 F1...); else 0 */
    int character; /* the key's character for a code below 256; else 0 */
    double x, y;   /* the pointer in the first axes' coordinates (MOUSE_X,
                    * MOUSE_Y); NaN for a close or where gnuplot gives none */
} gnuplot_event;

/* Also reports each key or button named in names, separated by blanks:
 * gnuplot's key names ("a", "Return", "Left", "F1", "KP_1", "ctrl-a",
 * "alt-shift-F2") or "Button1" (bound anyway), "Button2", "Button3", reported
 * as clicks. A bound key or button loses its built-in action (button 3 zooms).
 * A name gnuplot does not know (it would only warn), a quote, backslash or
 * backquote, a button with a modifier, or "Close" is refused, binding none:
 * -1. Otherwise returns as gnuplot_sync() does (no time limit): 1 when gnuplot
 * refuses one. */
int gnuplot_listen(_GNUPLOT_CTRL_ *handle, const char *names);

/* Hands over the next click, key or close into *event: 0, or -1 when none
 * comes within timeout_ms (0: only one already heard). */
int gnuplot_next_event(_GNUPLOT_CTRL_ *handle, gnuplot_event *event, int timeout_ms);

/* Returns 0 once the user has closed the plot window, and at once when there is
 * none: no window terminal (asked of gnuplot), nothing plotted, or the close
 * seen and no plot or live frame of the library's since (on x11, which reopens
 * none, any). A line of gnuplot_cmd() that draws the window again (a replot)
 * is not seen: plot through the library to wait for the new window. */
int gnuplot_wait_closed(_GNUPLOT_CTRL_ *handle, int timeout_ms);

/* Live data. gnuplot_plot_live() makes x and y the newest frame of the graph's
 * live curve. Its first frame after open or a reset plots as
 * gnuplot_plot_columns() of x and y (same line, title, style, file and
 * refusals); each later one is written into a second file of the handle's
 * table, the curve's spare, which then trades names with the data file (a
 * zoom never reads half a frame), and sends replot and a request, without
 * waiting. So a later frame keeps the first one's title and style, and
 * redraws the graph as gnuplot has it: after a plot of your own through
 * gnuplot_cmd(), that plot, without the curve, until a reset. Until the
 * terminal is known to be a window, each request's answer tells the terminal
 * the frame went to; then it is a bare sync.
 * In a window (as the last answer says, and no line of gnuplot_cmd() since,
 * which may switch the terminal: until the next frame's answer, frames wait
 * for the one before) only one frame is in flight: while gnuplot has
 * not answered the one before, the new frame waits in the handle, replacing
 * one waiting there, and goes out with the next frame, sync, event or wait
 * that finds gnuplot done, and before a save, a get or a line of
 * gnuplot_cmd() (which wait for gnuplot to take it). A frame the library
 * cannot write, or whose file is no longer the one the library made, is
 * refused; lines written straight into command_stream are not seen. On
 * other terminals (gif animate: an image a frame) each frame waits for the
 * one before: none is dropped. gnuplot's errors about
 * frames come with the next sync. */

/* Returns 0, or 1 when a waiting frame was dropped for this one (also one
 * held for a graph a reset or plot has replaced since); -1 after a
 * refusal or message, at once for a null handle or array or a count below 1. */
int gnuplot_plot_live(_GNUPLOT_CTRL_ *handle, const double *x, const double *y, int count,
                      const char *title);

/* ---- 7. Figures ------------------------------------------------------- */

/* The text after "with" for the plots that follow, in gnuplot's syntax ("lines
 * lc rgb '#1f77b4' lw 2", "filledcurves x1", "points pt 7"), in place of the
 * style in every line that writes it; null or "" (and gnuplot_setstyle())
 * return to the style. Refused for a line break or an over-long text. */
void gnuplot_set_curve_style(_GNUPLOT_CTRL_ *handle, const char *with);

/* Panels. gnuplot_set_layout() starts a figure of rows x columns panels,
 * filled row by row (gnuplot's multiplot), with an optional title. With more
 * than one, the margins are the same for every panel (10, 3, 3 and 3
 * characters), so that the plot areas of a column share their left and right
 * edges and those of a row their top and bottom; a colour box (a heatmap's,
 * pm3d's) takes its room from its own panel's plot area ("unset colorbox", or
 * for 2-D "set colorbox user origin graph 1.03, graph 0 size character 1.5,
 * graph 1" with "set rmargin 10" sent after gnuplot_set_layout(), keeps the
 * edges). The plots that follow go into the current panel,
 * each with its title and curve style; lines you send between panels apply to
 * the panels that follow, and the settings from before the figure come back at
 * its end.
 * gnuplot_next_panel() sends the panel's curves as one plot line (continued
 * with '\' after each curve, so a comment, '#' outside quotes, is left out of
 * a curve's line: it would run on over the curves after it) and moves on, and gnuplot_end_layout() sends the
 * last and ends the figure. One plot line reads each data file once, where
 * every replot reads all the earlier ones again: a one-panel layout is the way
 * to draw many curves.
 *
 * Inside a layout: a 2-D and a 3-D plot in one panel are refused, and so is a
 * live curve (its frames replot); a reduced plot plots every point; a sync or a get answers for the lines sent so far
 * (the current panel's curves go at the next panel or the end); a save is
 * refused, as gnuplot cannot change its terminal within a multiplot; a reset
 * or close ends the figure first, with a warning. After the end (a reset's
 * too), the next plot starts a new graph; until then, resets included, a save
 * draws the whole figure again: the settings from before the layout and every
 * line sent from its start to its end are kept in three more data files of
 * the handle, so lines of yours sent in the layout run again within a save,
 * and the settings as they were when the save began come back after it. */

/* Starts a figure; refused for rows or columns below 1 or inside a layout. */
void gnuplot_set_layout(_GNUPLOT_CTRL_ *handle, int rows, int columns, const char *title);

/* Sends the current panel and moves to the next; refused outside a layout or
 * on its last panel. A panel without curves is left empty. */
void gnuplot_next_panel(_GNUPLOT_CTRL_ *handle);

/* Sends the current panel and ends the figure; refused outside a layout. */
void gnuplot_end_layout(_GNUPLOT_CTRL_ *handle);

/* A time axis: x values are seconds since 1970-01-01 00:00 UTC and the x tics
 * show them in format, gnuplot's time format ("%H:%M"); null returns to plain
 * numbers. The axis stays numeric: every plot works and values stay exact.
 * Values far beyond any date (1e15 s, say) make gnuplot write "time value out
 * of range" once for each tic it tries, which can be a million lines. */
void gnuplot_set_xtime(_GNUPLOT_CTRL_ *handle, const char *format);

/* One filled bar per value, from 0 to the value at x = i, labels[i] under it
 * exactly as written (quotes, %, backslashes, _ ^ @ & {}, UTF-8; null: none);
 * a value not finite draws none and keeps its label. The x tics stay noenhanced
 * afterwards, and are shown even after "unset tics" (gnuplot's "set xtics
 * noenhanced" turns them on); the curve style does not apply; a null title leaves the bars out of the key.
 * Data files as for data plots. Refused for a label holding a line break. */
void gnuplot_plot_bars(_GNUPLOT_CTRL_ *handle, const char *const labels[], const double *values,
                       int count, const char *title);

/* Counts the finite values into bins equal bins from the smallest to the
 * largest (that in the last bin; all equal: bins around it), exactly, a pass
 * for the extent and one for the counts, and draws a bar per bin as
 * gnuplot_plot_bars() does, unlabelled. Returns silently for bins below 1 or
 * no finite value; refused above CHARTLINK_MAX_BINS. */
void gnuplot_plot_histogram(_GNUPLOT_CTRL_ *handle, const double *values, int count, int bins,
                            const char *title);

/* ---- All in one call -------------------------------------------------- */

/* Opens, sets the style (null: "lines") and labels (null: "X", "Y"), plots x, or the pairs when
 * y is given, prints "press ENTER to continue", reads standard input up to and including its
 * first newline (or end) and closes. Starts nothing for a null x or a count below 1. */
void gnuplot_plot_once(const char *title, const char *style, const char *x_label,
                       const char *y_label, const double *x, const double *y, int count);

/*
 * Lines sent
 *
 * What each operation sends, in order; every line goes out whole and ends in
 * a newline. Exact lines are indented by four; the rest says when. Operations
 * not listed send nothing.
 *
 *   <verb>       "plot" ("splot" for the 3-D operations) for the first plot
 *                since open or reset; "replot" for every later one
 *   <style>      the curve style when one is set, else the handle's style
 *   <file>       the data file, /tmp/chartlink-XXXXXX (six letters or digits)
 *   <t>          a blank and title "<title>"; nothing for a null title
 *   <title>, <label>, <equation>   the caller's text, as it is
 *   <a>, <b>     numbers, written as Numbers says
 *   <n>          the number of columns; <using> is 1:2:...:<n> (1:2 for two)
 *   <columns>, <rows>   the grid's size
 *   <name>       a file name as a gnuplot string: in single quotes, with "./"
 *                before a relative name and each run of single quotes as
 *                ' . "<the quotes>" . ' (it's.png: './it' . "'" . 's.png')
 *   <request>    a blank line, then one or two lines of the answer channel's
 *                own, the first starting set print "/dev/fd/3" (see Hear back)
 *
 * gnuplot_cmd():
 *     <the formatted text>
 * gnuplot_set_xlabel(), gnuplot_set_ylabel():
 *     set xlabel "<label>"
 *     set ylabel "<label>"
 * gnuplot_plot_equation(), a null title sent as "no title":
 *     <verb> <equation> title "<title>" with <style>
 * gnuplot_plot_slope(), titled alike:
 *     <verb> <a> * x + <b> title "<title>" with <style>
 * gnuplot_plot_x() (a value a line), gnuplot_plot_xy() (x and y a line):
 *     <verb> "<file>"<t> with <style>
 * gnuplot_plot_columns(), one column:
 *     <verb> "<file>" binary format="%float64" using 0:1<t> with <style>
 * gnuplot_plot_columns(), <n> columns from 2:
 *     <verb> "<file>" binary format="%<n>float64" using <using><t> with <style>
 * gnuplot_splot_columns():
 *     <verb> "<file>" binary format="%<n>float64" using <using><t> with <style>
 * gnuplot_plot_grid(), x and y null:
 *     <verb> "<file>" binary array=(<columns>,<rows>) format="%float64"<t> with image
 * gnuplot_plot_grid(), evenly spaced (to 1e-9 of a step; a null x or y is):
 *     <verb> "<file>" binary record=(<columns>,<rows>) format="%3float64" using 1:2:3<t> with image
 * gnuplot_plot_grid(), otherwise (records of x, y, value, x from, x to, y from, y to):
 *     <verb> "<file>" binary format="%7float64" using 1:2:4:5:6:7:3<t> with boxxyerror fillcolor palette fillstyle solid noborder
 * gnuplot_splot_grid():
 *     <verb> "<file>" binary record=(<columns>,<rows>) format="%3float64" using 1:2:3<t> with pm3d
 * gnuplot_plot_xy_reduced(), plotting every point: the line gnuplot_plot_columns()
 *   of x and y sends, after whatever the steps below had sent before it knew.
 * gnuplot_plot_xy_reduced(), reduced: <request>s for the terminal, for gnuplot's
 *   directory when the output is a relative name, and for the settings; then
 *     set style line <k> linetype 1
 *   a <request> for the settings again, then
 *     unset style line <k>
 *   then, in one write on png, gif, jpeg and sixelgd (x11: the plot line alone),
 *     set output '/dev/null'
 *     <the plot line>
 *     set output <output>
 *   the last being, when the caller's output was standard output,
 *     set output
 *   and last a <request> for the plot area and the ranges, then again
 *     <the plot line>
 *   The plot line is gnuplot_plot_columns()'s for x and y, with the verb "plot";
 *   <k> is 31999, or the next style line the caller does not use; <output> is
 *   the caller's output as a <name>.
 * gnuplot_sync(), unless timeout_ms is 0; gnuplot_get_number(), gnuplot_get_text():
 *     <request>
 * gnuplot_save(): a <request> with these four lines before its last line:
 *     <var>=GPVAL_TERM." ".GPVAL_TERMOPTIONS;set terminal <terminal>
 *     if (exists("GPVAL_LAST_PLOT")) {set output <name>; <draw>} else {replot}
 *     unset output
 *     set terminal @<var>;undefine <var>
 *   <terminal> is pngcairo, svg, pdfcairo, epscairo or dumb, as the extension
 *   says; <var> is t and the seven letters or digits that tag the handle;
 *   <draw> is replot, or after gnuplot_end_layout() and before the next plot
 *     save set '<now>'; load '<file>'; load '<now>'
 *   <file> holding load '<file>' of the settings, then every line sent from
 *   gnuplot_set_layout() to gnuplot_end_layout(); <now> a file of its own.
 * Inside a layout, the plots send no line: each curve's line, without its
 *   <verb> ("plot" or "splot"), waits for the panel's plot line.
 * gnuplot_set_layout(): <file> takes gnuplot's settings from before:
 *     save set '<file>'
 *     set multiplot layout <rows>,<columns>[ title '<title>']
 *     set margins 10,3,3,3          (for more than one panel)
 *   where '<title>' (and '<label>', '<format>' below) is the text as <name>
 *   writes a file name, without the "./": 'it' . "'" . 's' for it's.
 * gnuplot_next_panel(), gnuplot_end_layout(): the panel's curves, or for none
 *   (gnuplot_next_panel() only)
 *     set multiplot next
 *   as one plot line, a curve to a line, all but the last ending in ", \":
 *     plot <curve>, \
 *     <curve>
 *   each <curve> up to a '#' outside quotes, without the blanks before it;
 *   then, from gnuplot_end_layout() and a reset or close inside a layout,
 *     unset multiplot
 *     load '<file>'
 *   <file> holding the settings from before the layout.
 * gnuplot_set_xtime(), a format, and null:
 *     set format x '<format>' timedate
 *     set format x "% h" numeric
 * gnuplot_plot_bars(): <a> is c and the seven letters or digits that tag the
 *   handle, _ and a number of its own; the labels go as many to a line as fit;
 *   records of x, y, x - 0.4, x + 0.4, 0, y (for y not finite x, 0, e, e, 0, 0,
 *   e being x - 0.4 for the first bar, else x + 0.4):
 *     array <a>[<count>]
 *     <a>[1]='<label>';<a>[2]='<label>';...
 *     set xtics noenhanced
 *     <verb> "<file>" binary format="%6float64" using 1:2:3:4:5:6:xtic(<a>[int($0)+1])<u> with boxxyerror fillstyle solid
 *   <u> being <t>, or " notitle" for a null title.
 * gnuplot_plot_histogram(): records of the bin's centre, its count, where it
 *   starts and ends, 0 and the count again:
 *     <verb> "<file>" binary format="%6float64" using 1:2:3:4:5:6<u> with boxxyerror fillstyle solid
 * gnuplot_resetplot(), once 16 replaced graphs' files, or 16 MiB, wait (85 a line):
 *     !rm -f '<file>' '<file>' ...
 * gnuplot_plot_once(): the lines of the calls it makes, so
 *     set xlabel "<x_label>"
 *     set ylabel "<y_label>"
 *     plot "<file>"<t> with <style>
 * gnuplot_listen(), gnuplot_next_event() and gnuplot_wait_closed(), the first
 *   time each binding is needed, in <request>s of up to five bindings:
 *     if (<m>) {bind "Close" 'set print "/dev/fd/3";print "<tag>0WC".GPVAL_TERM."<tag>";unset print'}
 *     if (<m>) {bind "Button<b>" 'set print "/dev/fd/3";print sprintf("<tag>0WB<b> %.17g %.17g<tag>",MOUSE_X,MOUSE_Y);unset print'}
 *     if (<m>) {bind "<key>" 'set print "/dev/fd/3";print sprintf("<tag>0WK%d %.17g %.17g<tag>",MOUSE_KEY,exists("MOUSE_X")?MOUSE_X:NaN,exists("MOUSE_Y")?MOUSE_Y:NaN);unset print'}
 *   <tag> being the seven letters or digits that tag the handle, after a c;
 *   <m> being strstrt(GPVAL_COMPILE_OPTIONS,"+USE_MOUSE"), asked first, once,
 *   in a <request> for that number (the bindings go without its answer when
 *   the time runs out first).
 *   gnuplot_wait_closed() then a <request> for
 *     exists("GPVAL_LAST_PLOT")?GPVAL_TERM:""
 * gnuplot_plot_live(), the first frame: the line of gnuplot_plot_columns() for
 *   x and y, a <request> for GPVAL_TERM; every later frame sent:
 *     replot
 *     <request> for GPVAL_TERM, or asking nothing (a sync's) while the
 *       terminal is known to be a window
 * gnuplot_close(): no line; gnuplot reads the end of its input.
 */

/*
 * Messages
 *
 * Written on standard error exactly as quoted, with no prefix; \n is the
 * newline most end in, and the three that end without one say so. [w] marks a
 * warning: the call goes on. The operation, and when, below each.
 *
 *   "cannot find DISPLAY variable: is it set?\n"  [w]
 *       gnuplot_init(): DISPLAY is unset
 *   "PATH variable not set\n"
 *       gnuplot_init(), gnuplot_get_program_path(): PATH is unset
 *   "cannot find gnuplot in your PATH"  (no newline)
 *       gnuplot_init(): no executable gnuplot in "." or along PATH
 *   "cannot allocate memory for the plot handle\n"
 *       gnuplot_init()
 *   "error starting gnuplot\n"
 *       gnuplot_init(): the pipes or the process cannot be made
 *   "warning: unknown requested style: using points\n"  [w]
 *       gnuplot_setstyle(): a name not among the nine, or null
 *   "cannot format command: not sent\n"
 *       gnuplot_cmd(): printf fails on the format
 *   "command too long: not sent\n"
 *       any operation whose line would pass CHARTLINK_MAX_COMMAND_LENGTH
 *   "command holds a line break: not sent\n"
 *       an operation given a label, title, equation or expression holding a newline
 *   "slope and intercept must be finite: not sent\n"
 *       gnuplot_plot_slope()
 *   "2-D and 3-D plots do not mix: reset first: plot not sent\n"
 *       any plot: a 2-D plot on a graph begun in 3-D, or back, before a reset
 *   "maximum # of temporary files reached (64): cannot open more"  (no newline)
 *       a data plot, gnuplot_set_layout(): CHARTLINK_MAX_TEMP_FILES files since
 *       open or reset
 *   "cannot create temporary file: exiting plot"  (no newline)
 *       a data plot: its file cannot be created
 *   "cannot write temporary file: plot not sent\n"
 *       a data plot or live frame: its file cannot be written in full (for a
 *       frame that waited, from the call that would have sent it)
 *   "too many columns (at most 8): plot not sent\n"
 *       gnuplot_plot_columns(): over CHARTLINK_MAX_COLUMNS
 *   "splot takes 3 to 8 columns: plot not sent\n"
 *       gnuplot_splot_columns()
 *   "a grid needs at least 2 rows and 2 columns: plot not sent\n"
 *       gnuplot_plot_grid(), gnuplot_splot_grid()
 *   "grid coordinates and their cells must be finite: plot not sent\n"
 *       gnuplot_plot_grid(), gnuplot_splot_grid(): an x or y infinite, NaN, or so
 *       large that its cell is
 *   "cannot allocate memory: plot not sent\n"
 *       gnuplot_plot_xy_reduced(), gnuplot_plot_live(), the plots inside a layout,
 *       gnuplot_plot_bars(), gnuplot_plot_histogram()
 *   "cannot keep every point for saves: they draw the reduced ones\n"  [w]
 *       gnuplot_plot_xy_reduced()
 *   "the last command is unfinished: cannot sync\n"
 *   "the last command is unfinished: not saved\n"
 *   "the last command is unfinished: no value read\n"
 *       gnuplot_sync(), gnuplot_save(), a get: gnuplot is within a command
 *   "gnuplot has ended: cannot sync\n"
 *   "gnuplot has ended: not saved\n"
 *   "gnuplot has ended: no value read\n"
 *       gnuplot_sync(), gnuplot_save(), a get
 *   "gnuplot did not answer in time\n"
 *       gnuplot_sync(), a get: timeout_ms passed
 *   "cannot tell the image format from the file name: not saved\n"
 *       gnuplot_save(): an unknown extension
 *   "file name holds a line break: not saved\n"
 *       gnuplot_save()
 *   "cannot bind this key name: not bound\n"
 *       gnuplot_listen(): a name gnuplot's bind does not know, as that
 *       operation says
 *   "the last command is unfinished: not bound\n"
 *   "the last command is unfinished: no event read\n"
 *   "the last command is unfinished: cannot wait for the window\n"
 *   "the last command is unfinished: plot not sent\n"
 *   "gnuplot has ended: not bound\n"
 *   "gnuplot has ended: no event read\n"
 *   "gnuplot has ended: cannot wait for the window\n"
 *   "gnuplot has ended: plot not sent\n"
 *       gnuplot_listen(), gnuplot_next_event(), gnuplot_wait_closed(),
 *       gnuplot_plot_live()
 *   "this gnuplot has no windows: not bound\n"
 *   "this gnuplot has no windows: no event read\n"
 *       gnuplot_listen(), gnuplot_next_event(): gnuplot has no bind (gnuplot-nox)
 *   "curve style holds a line break: not set\n"
 *   "curve style too long: not set\n"
 *   "cannot allocate memory: curve style not set\n"
 *       gnuplot_set_curve_style(): over CHARTLINK_MAX_COMMAND_LENGTH bytes
 *   "a layout needs at least 1 row and 1 column: not started\n"
 *   "a figure is already being laid out: not started\n"
 *   "cannot create temporary file: not started\n"
 *   "cannot allocate memory: not started\n"
 *       gnuplot_set_layout()
 *   "no figure is being laid out: not moved\n"
 *   "the figure has no panel left: not moved\n"
 *       gnuplot_next_panel()
 *   "no figure is being laid out: not ended\n"
 *       gnuplot_end_layout()
 *   "warning: cannot keep the figure: saves refuse it\n"  [w]
 *       gnuplot_end_layout(): the figure's files cannot be made
 *   "2-D and 3-D plots do not mix in a panel: plot not sent\n"
 *       any plot inside a layout
 *   "a live curve cannot go into a layout: plot not sent\n"
 *       gnuplot_plot_live()
 *   "a figure is being laid out: end it first: not saved\n"
 *   "the figure could not be kept: not saved\n"
 *       gnuplot_save()
 *   "warning: reset inside a layout: the figure ends first\n"  [w]
 *       gnuplot_resetplot()
 *   "warning: close inside a layout: the figure ends first\n"  [w]
 *       gnuplot_close()
 *   "bar label holds a line break: plot not sent\n"
 *       gnuplot_plot_bars()
 *   "too many bins (at most 1000000): plot not sent\n"
 *       gnuplot_plot_histogram(): over CHARTLINK_MAX_BINS
 *   "cannot allocate memory: not sent\n"
 *       gnuplot_set_xtime()
 *   "problem closing communication to gnuplot\n"
 *       gnuplot_close(): the wait for gnuplot fails
 *
 * Elsewhere: gnuplot_plot_once() writes "press ENTER to continue\n" on standard
 * output. gnuplot_last_error() holds gnuplot's messages (but "load/eval nested
 * too deeply" once the library's bindings are in place) and two of the
 * library's: "not a real number: <re> <im>" (gnuplot_get_number(), a complex
 * value) and "gnuplot gave no value" (a get whose expression gave none).
 */

#if defined(__GNUC__) || defined(__clang__)
#pragma GCC visibility pop
#endif

#ifdef __cplusplus
}
#endif

#endif /* CHARTLINK_H */
