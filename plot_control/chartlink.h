/*
 * chartlink: drive the plotting program gnuplot from C or C++.
 *
 * A handle owns one gnuplot process, started with its standard input
 * connected to a pipe. The library writes one command line at a time into
 * that pipe. gnuplot's own complaints (a bad expression, an unreadable file)
 * go to the caller's standard error; gnuplot_sync() and gnuplot_save() hear
 * back whether gnuplot has carried out what it was sent, and its error.
 * gnuplot is started through the shell ("sh -c gnuplot").
 *
 * Lifecycle:
 *   1. Open:  gnuplot_init() finds gnuplot and starts it.
 *   2. Use:   gnuplot_cmd() sends any line; gnuplot_setstyle() and the axis
 *             labels shape what follows; the gnuplot_plot_*() operations draw.
 *             The first plot on a handle uses the verb "plot", every later
 *             one "replot", so curves accumulate on one graph.
 *             gnuplot_sync() waits for gnuplot; gnuplot_save() writes the
 *             graph into a file.
 *   3. Reset: gnuplot_resetplot() forgets the plots and their data files;
 *             the next plot starts a new graph.
 *   4. Close: gnuplot_close() ends gnuplot, deletes the data files and frees
 *             the handle.
 * gnuplot_plot_once() does all four in a single call.
 *
 * Failure contract, for every operation:
 *   - Only gnuplot_sync(), gnuplot_save() and the gets return a status. A failure or
 *     warning is one fixed message on standard error, with no prefix; some
 *     end without a newline.
 *   - A null handle, or a null text the operation needs, makes it return at
 *     once: nothing is sent and nothing changes.
 *   - A command line holds at most CHARTLINK_MAX_COMMAND_LENGTH characters
 *     before its newline. A longer one is refused whole ("command too long:
 *     not sent\n"). A line the library builds from a title, label or
 *     expression holding a newline is refused too ("command holds a line
 *     break: not sent\n"). A refused plot changes no count.
 *   - Every line the library sends reaches gnuplot whole and in order,
 *     after anything written to command_stream directly, even when signals
 *     interrupt the writes. command_stream is fully buffered in PIPE_BUF
 *     bytes; leave its buffering as it is. What you write to it yourself
 *     goes through stdio, which loses bytes when a signal handler without
 *     SA_RESTART interrupts a write into a full pipe: under such signals,
 *     send through gnuplot_cmd().
 *     Writes into the pipe of a gnuplot that has ended fail quietly; they
 *     never raise SIGPIPE in the caller.
 *
 * Ownership: the caller holds the handle from gnuplot_init() until it hands
 * it to gnuplot_close(), which frees it whatever happens. The handle owns
 * its gnuplot process and its data files. Arrays, titles, labels and
 * expressions stay the caller's and are only read during the call.
 *
 * Trust: titles, labels and expressions reach gnuplot unchanged. A double
 * quote in them ends gnuplot's string, and backquotes inside double-quoted
 * text make gnuplot run a shell command. Pass only text you trust.
 *
 * Threads: separate handles may be opened and used from separate threads at
 * once. One handle is used by one thread at a time. The text
 * gnuplot_get_program_path() returns is valid until the next call in the
 * same thread.
 *
 * Data files hold each number as printf's %g would write it when that reads
 * back as the same double, else as the shortest text that does ("0.5", "2",
 * "1e-05", "0.3333333333333333"), and "nan", "inf", "-inf", "-0"; the same
 * in any locale. gnuplot reads them in the locale it was told to use: after
 * "set decimalsign locale" with a German one, 2.75 reads as 2.
 * gnuplot_plot_columns() writes raw doubles instead, read alike anywhere.
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

/* Starts gnuplot and returns a new handle with style "points" and no plots.
 * Warns "cannot find DISPLAY variable: is it set?\n" when DISPLAY is unset,
 * and still opens. Returns null, having started nothing, after "cannot find
 * gnuplot in your PATH" (no newline) when no executable gnuplot is in the
 * current directory or along PATH, "cannot allocate memory for the plot
 * handle\n", or "error starting gnuplot\n" when the process cannot start.
 * The caller owns the handle and must pass it to gnuplot_close(). */
_GNUPLOT_CTRL_ *gnuplot_init(void);

/* Returns the directory holding an executable `name`: "." for the current
 * directory, which is tried first, else the PATH entry exactly as written
 * (an empty entry means "."). Null when it is found nowhere, or after
 * "PATH variable not set\n" when PATH is unset. The text lives in a buffer
 * of the calling thread, valid until that thread's next call. Candidates
 * longer than 4095 bytes are skipped. */
char *gnuplot_get_program_path(const char *name);

/* ---- 2. Send and plot ------------------------------------------------- */

/* Formats a line as printf does, appends a newline and sends it. The text
 * goes out as formatted, newlines included; it is not counted as a plot.
 * A line too long is refused; "cannot format command: not sent\n" when
 * printf itself fails on the format. Send text of your own as
 * gnuplot_cmd(handle, "%s", text): as the format, a '%' in it is misread. */
void gnuplot_cmd(_GNUPLOT_CTRL_ *handle, const char *format, ...) CHARTLINK_PRINTF_FORMAT(2, 3);

/* Sets the style of the plots that follow: "lines", "points",
 * "linespoints", "impulses", "dots", "steps", "errorbars", "boxes" or
 * "boxerrorbars", matched byte for byte. Any other name, null included,
 * gives "warning: unknown requested style: using points\n" and "points".
 * Sends nothing. */
void gnuplot_setstyle(_GNUPLOT_CTRL_ *handle, const char *style);

/* Send set xlabel "<label>" and set ylabel "<label>". Not counted as plots. */
void gnuplot_set_xlabel(_GNUPLOT_CTRL_ *handle, const char *label);
void gnuplot_set_ylabel(_GNUPLOT_CTRL_ *handle, const char *label);

/* Plots an expression of x in gnuplot's syntax, such as "sin(x)":
 * <verb> <equation> title "<title>" with <style>. A null title is sent as
 * "no title"; a title longer than 79 bytes is cut. */
void gnuplot_plot_equation(_GNUPLOT_CTRL_ *handle, const char *equation, const char *title);

/* Plots the line a * x + b, titled as gnuplot_plot_equation() does. The
 * numbers print as %g would when that reads back exactly, otherwise with
 * every digit needed, whatever the locale; a whole number beyond gnuplot's
 * 64-bit integers in exponent form. A slope or intercept that is infinite
 * or NaN is refused: "slope and intercept must be finite: not sent\n". */
void gnuplot_plot_slope(_GNUPLOT_CTRL_ *handle, double a, double b, const char *title);

/* Plot count values of x, one per line, or count x/y pairs. The values go
 * into a new owner-only, close-on-exec file /tmp/chartlink-XXXXXX that the
 * handle removes as gnuplot_resetplot() tells, or at close; the command is <verb> "<file>" [title
 * "<title>"] with <style>, the title clause left out for a null title. Return silently for a null
 * handle or array or a count below 1. Otherwise refused, with no file left and no count changed,
 * after "maximum # of temporary files reached (64): cannot open more" or "cannot create temporary
 * file: exiting plot" (neither with a newline), "cannot write temporary file: plot not sent\n", or
 * a refused command line. */
void gnuplot_plot_x(_GNUPLOT_CTRL_ *handle, const double *x, int count, const char *title);
void gnuplot_plot_xy(_GNUPLOT_CTRL_ *handle, const double *x, const double *y, int count,
                     const char *title);

/* Plots count rows of column_count columns (1 to CHARTLINK_MAX_COLUMNS):
 * row i is columns[0][i], columns[1][i], ... Each row goes into a data file
 * like those above (same table, limits, messages and removal) as native
 * doubles, with no text, so values arrive exact and gnuplot reads them
 * fast. The command is
 *   <verb> "<file>" binary format="%float64" using 0:1 [title "<title>"] with <style>
 * for one column (plotted against its row number), and for n columns
 *   <verb> "<file>" binary format="%<n>float64" using 1:2:...:n [title ...] with <style>
 * so three columns with style "errorbars" draw x, y and y error. Returns
 * silently for a null handle, array or column, or a count or column_count
 * below 1; "too many columns (at most 8): plot not sent\n" above that. */
void gnuplot_plot_columns(_GNUPLOT_CTRL_ *handle, const double *const columns[], int column_count,
                          int count, const char *title);

/* Plots what gnuplot_plot_columns() of the two columns x and y would draw
 * (the same line, verb, title, data file and refusals), but with style
 * "lines" on a terminal that sets whole pixels (png, gif, jpeg, sixelgd,
 * x11) sends only the points that can change a pixel: per pixel column of
 * the plot area the first, last, lowest and highest; outside the ranges a
 * run keeps only its ends. The image is then the full plot's, pixel for
 * pixel, while nothing later changes the x range or margins (a curve
 * widening autoscale, a window's zoom).
 *
 * How: it asks gnuplot for the terminal, output and settings (`save set`,
 * with linetype 1 copied into a spare style line and removed again), then
 * plots the same line over a file of only the points that decide autoscale
 * (those nearest a fixed range's ends included) into '/dev/null', sets the
 * caller's output again and reads GPVAL_TERM_XMIN, GPVAL_TERM_XMAX,
 * GPVAL_TERM_SCALE and the ranges. Like a sync, this leaves gnuplot's
 * `print` on standard error. gnuplot's warnings about the axes or texts
 * (tics, enhanced text) appear twice, once for that look.
 *
 * It plots every point, only slower, where the reduced points could draw
 * otherwise: another style; antialiasing terminals (pngcairo, qt, wxt),
 * character cells (dumb) and terminals without pixels (unknown, svg,
 * pdf...); x not ascending, values not finite or beyond 1e300; a range
 * gnuplot would find empty or too narrow (and warn); no point inside a
 * fixed range; a graph that already has curves; an output file holding an
 * image already; gif animate; log, nonlinear or polar axes; a fixed aspect
 * ratio; multiplot; `set table` into a file (seen in /proc; a table into a
 * datablock is not seen: plot every point there); a dashed linetype 1 or
 * user line styles; an unfinished command; or no answer within 10 s.
 *
 * gnuplot_save() draws every point: the handle keeps them in an unlisted
 * file until the curve's graph is replaced or the handle closes ("cannot
 * keep every point for saves: they draw the reduced ones\n" when it
 * cannot). */
void gnuplot_plot_xy_reduced(_GNUPLOT_CTRL_ *handle, const double *x, const double *y, int count,
                             const char *title);

/* 3-D and grids. gnuplot draws 2-D and 3-D plots on separate graphs: reset
 * between them. A plot of the other kind than the graph's first (any 2-D
 * plot after gnuplot_splot_columns() or gnuplot_splot_grid(), or back) is
 * refused before a reset, with no file left and no count changed: "2-D and
 * 3-D plots do not mix: reset first: plot not sent\n". Plots the caller
 * sends through gnuplot_cmd() are not tracked. The grid plots refuse an x
 * or y holding an infinity or NaN, or coordinates so large that a cell
 * reaching halfway to its neighbours would be infinite: "grid coordinates
 * and their cells must be finite: plot not sent\n". Data files, their table,
 * limits, removal and messages are those of gnuplot_plot_columns(); the
 * values travel as native doubles, exact. Each returns silently for a null
 * handle, array, column or values, or a count, rows or columns below 1. */

/* Plots count rows in 3-D with the handle's style: columns[0..2] are x, y
 * and z, further ones (at most 8 in all) for styles that read more:
 *   <verb> "<file>" binary format="%<n>float64" using 1:2:...:n [title "<title>"] with <style>
 * where <verb> is "splot" for the first plot on the handle, else "replot".
 * Fewer than 3 or more than 8 columns: "splot takes 3 to 8 columns: plot not
 * sent\n". */
void gnuplot_splot_columns(_GNUPLOT_CTRL_ *handle, const double *const columns[], int column_count,
                           int count, const char *title);

/* A heatmap: values is row-major, values[r * columns + c] standing at
 * (x[c], y[r]); a null x means x[c] = c, a null y y[r] = r. Each cell is
 * drawn in its value's colour in gnuplot's palette, whatever the style.
 * With both null, the values go as they lie:
 *   <verb> "<file>" binary array=(<columns>,<rows>) format="%float64" [title "<title>"] with image
 * with evenly spaced coordinates, as x, y, value records:
 *   <verb> "<file>" binary record=(<columns>,<rows>) format="%3float64" using 1:2:3 [title ...]
 * with image and otherwise, each cell reaching halfway to its neighbours, as records of x, y, value
 * and the cell's x and y extents: <verb> "<file>" binary format="%7float64" using 1:2:4:5:6:7:3
 * [title ...] with boxxyerror fillcolor palette fillstyle solid noborder <verb> is "plot" or
 * "replot". A grid of one row or one column cannot be drawn so: "a grid needs at least 2 rows and 2
 * columns: plot not sent\n". */
void gnuplot_plot_grid(_GNUPLOT_CTRL_ *handle, const double *x, const double *y,
                       const double *values, int rows, int columns, const char *title);

/* The same grid as a surface coloured by value:
 *   <verb> "<file>" binary record=(<columns>,<rows>) format="%3float64" using 1:2:3 [title ...]
 * with pm3d <verb> "splot" or "replot"; a single row or column is refused as above. */
void gnuplot_splot_grid(_GNUPLOT_CTRL_ *handle, const double *x, const double *y,
                        const double *values, int rows, int columns, const char *title);

/* ---- 3. Hear back ----------------------------------------------------- */

/* gnuplot answers through a pipe the handle gives it as its descriptor 3,
 * with no file under /tmp, in records tagged with a random text of the
 * handle's own, so that nothing gnuplot prints can pass for an answer. A
 * request sends a blank line (which ends a caller's "pause -1" harmlessly),
 * then, for a sync, one line:
 *   set print "/dev/fd/3";print "<tag><n>R".GPVAL_ERRMSG."<tag>";reset errors;unset print
 * Afterwards gnuplot's `print` writes to standard error, its default, and
 * its error variables are cleared. An error counts only when gnuplot gives
 * a message: a failed shell command, or an `exit error ""`, does not count.
 * gnuplot never waits on the pipe once the caller has gone.
 *
 * A request goes out only where gnuplot starts a new command. After a line
 * ending in a backslash, inside a '{' block still open (braces in strings,
 * comments and "!" shell lines do not count) or inside a datablock ("$d <<
 * EOD" up to a line starting with EOD), a sync, save or get returns -1 at
 * once, sending nothing, after "the last command is unfinished: cannot
 * sync\n" ("...: not saved\n", "...: no value read\n"); send the rest of
 * your command first. The library follows every line it sends, as written:
 * not bytes written to command_stream directly, what a macro (@name) or an
 * eval expands to, inline data after a plot of '-', nor a datablock that a
 * failing statement before it on its line never starts.
 *
 * After a request that timed out, gnuplot may still be writing its answer.
 * The library takes it in whenever it waits to send, but a write of yours
 * into command_stream cannot: it may block until the next sync, save or get
 * if the answer is large. Send through gnuplot_cmd() then. */

/* Returns once gnuplot has carried out every line sent before the call
 * (data files read, plots drawn): 0 when gnuplot reported no error since the
 * last request that reported them; 1 when it did, its message, whole, then
 * in gnuplot_last_error() and the error cleared (an error from before a save
 * or a get is reported here, by the next sync). -1 after "gnuplot has ended:
 * cannot sync\n", or "gnuplot did not answer in time\n" when timeout_ms
 * milliseconds pass (a negative timeout_ms waits without limit); -1 at once
 * for a null handle. A late answer to a request that timed out never counts
 * for a later one. A timeout_ms of 0 sends nothing and waits for nothing: 0
 * or 1 as above once gnuplot has answered every sync, save and get sent
 * before, else -1 without a message (gnuplot_last_message() is then "")
 * while gnuplot is busy, or with "gnuplot has ended: cannot sync\n" once it
 * has ended. A line such as "pause mouse
 * close" makes gnuplot, and so the sync, wait until the user closes the plot window: the way to
 * keep a window open until it is closed. */
int gnuplot_sync(_GNUPLOT_CTRL_ *handle, int timeout_ms);

/* gnuplot's message from the last sync, save or get that returned 1, else
 * ""; "" for a null handle. The text belongs to the handle and stays valid
 * until its next sync, save, get or close. */
const char *gnuplot_last_error(const _GNUPLOT_CTRL_ *handle);

/* Writes the current graph into file_name and returns once the file is
 * complete and closed: 0, or 1 with gnuplot's message for the save itself
 * (an earlier error waits for the next gnuplot_sync()), or -1 as
 * gnuplot_sync() does (no time limit; "gnuplot has ended: not saved\n"). The extension picks the
 * format: .png (pngcairo), .svg, .pdf (pdfcairo), .eps (epscairo) or .txt (dumb), in either case.
 * The file is exactly the one named, as open() would take it: a relative name is sent as
 * "./<name>", so gnuplot neither runs a pipe for a leading '|' nor expands '~', and quotes reach
 * gnuplot as quotes. Sends, within a request whose first line is set print "/dev/fd/3";print
 * "<tag><n>E".GPVAL_ERRMSG."<tag>";reset errors (the errors from before) the lines
 *   <t'>=GPVAL_TERM." ".GPVAL_TERMOPTIONS;set terminal <t>
 *   if (exists("GPVAL_LAST_PLOT")) {set output '<file>'; replot} else {replot}
 *   unset output
 *   set terminal @<t'>;undefine <t'>
 * where <t'> is the tag with 't' for its first letter, so the caller's
 * terminal, with the options gnuplot reports, is in force again afterwards
 * and a terminal the caller pushed stays pushed (an option gnuplot does not
 * report, as png's noenhanced, returns to its default). A reduced plot's data file
 * holds every point while the save draws. When the file cannot be opened,
 * or nothing has been plotted, nothing is drawn anywhere and an existing
 * file is left as it was. An output file the caller had set is finished
 * and closed by the save, and gnuplot's output is standard output again:
 * set it anew to go on (which starts that file afresh). Returns -1,
 * sending nothing, for a null handle or name, after "cannot tell the image
 * format from the file name: not saved\n", or "file name holds a line
 * break: not saved\n". Needs gnuplot 5.2 or later. */
int gnuplot_save(_GNUPLOT_CTRL_ *handle, const char *file_name);

/* Evaluate `expression` (gnuplot's syntax, one line) in gnuplot after every
 * line sent before, and hand back its value: a number exactly (the double
 * gnuplot holds; its integers as doubles; whatever decimal sign gnuplot
 * writes), or a text exactly as gnuplot holds it (any bytes, any length; an
 * integer in decimal; other numbers are no text to gnuplot: 1 and its
 * message). Results as gnuplot_sync(), about the expression alone: 0 with
 * the value; 1 with gnuplot's message in gnuplot_last_error() and *value or
 * *text untouched, also when a number was asked for and the value is a
 * string or complex ("not a real number: <re> <im>"); -1 when gnuplot has
 * ended ("gnuplot has ended: no value read\n") or timeout_ms passed
 * (negative: no limit), and at once, sending nothing, for a null handle,
 * expression or out pointer, or an expression longer than about 1,900
 * bytes ("command too long: not sent\n"). The expression travels as a
 * string that gnuplot evaluates, so any text gets an answer, gnuplot's
 * message when it rejects it: a comment is cut off, and a string or '{' it
 * leaves open is closed (a macro that expands to an open '{' is beyond
 * this). An error from
 * before the call waits for the next gnuplot_sync() when the expression
 * succeeds (gnuplot keeps one message: a failing expression's replaces it).
 * The text belongs to the handle and stays valid until its next sync, get,
 * save or close. Examples: "GPVAL_X_MAX" after a plot, "a" after a fit,
 * "STATS_mean" after stats, "MOUSE_X" after "pause mouse button1". */
int gnuplot_get_number(_GNUPLOT_CTRL_ *handle, const char *expression, double *value,
                       int timeout_ms);
int gnuplot_get_text(_GNUPLOT_CTRL_ *handle, const char *expression, const char **text,
                     int timeout_ms);

/* The message the calling thread's last operation wrote on standard error
 * (one handle is used by one thread at a time), without its newline; ""
 * when it wrote none. Refusals and failures always write one, so after one
 * this tells why. The text lives in a buffer of the thread, valid until its
 * next operation. */
const char *gnuplot_last_message(void);

/* 1 when the calling thread's last operation was refused or failed, so that
 * gnuplot_last_message() tells why; 0 when it was carried out, even with a
 * warning (an unknown style, say). */
int gnuplot_last_refused(void);

/* 1 while the handle's gnuplot runs and reads its pipe; 0 once it has ended,
 * and for a null handle. */
int gnuplot_is_running(const _GNUPLOT_CTRL_ *handle);

/* ---- 4. Reset --------------------------------------------------------- */

/* Forgets the plots, so the next one starts a new graph, and sets both
 * counts to 0; the style stays. The data files of the graph still on screen
 * stay (a window re-reads them to zoom, and so does a replot) until the next
 * plot replaces that graph; then they go once gnuplot has answered a sync,
 * save or get sent after that plot, by the library, with no shell. When 16
 * such files, or 16 MiB of them, wait for an answer, a reset sends
 *   !rm -f '<file>' '<file>' ...
 * so that gnuplot removes them once it has read them; it never waits for
 * gnuplot (with the pipe full, the line waits for a later reset). */
void gnuplot_resetplot(_GNUPLOT_CTRL_ *handle);

/* ---- 5. Close --------------------------------------------------------- */

/* Closes the pipe, waits for gnuplot to end, deletes every data file the
 * handle made that is still there and frees the handle, which must not be
 * used again. When the wait fails it writes "problem closing communication
 * to gnuplot\n" and still deletes and frees. It allocates nothing and never
 * waits on the answer pipe. In a process forked from the one that opened
 * the handle it only frees that process's memory and descriptors: gnuplot
 * and the data files stay the opener's. A null handle is ignored. */
void gnuplot_close(_GNUPLOT_CTRL_ *handle);

/* ---- 6. Windows -------------------------------------------------------- */

/* On a window terminal (qt, wxt, x11) gnuplot runs key and mouse bindings
 * whenever it waits for the next line. The library binds what it reports
 * with lines such as
 *   bind "Button1" 'set print "/dev/fd/3";print sprintf("<tag>0WB1 %.17g
 * %.17g<tag>",MOUSE_X,MOUSE_Y);unset print' bind "Close" 'set print "/dev/fd/3";print
 * "<tag>0WC<tag>";unset print' so each event comes back on the reply pipe beside the answers, in
 * the order it happened, and waits in the handle (the last 4096) until gnuplot_next_event() hands
 * it over. Like a sync, a binding leaves gnuplot's `print` on standard error. Lines sent meanwhile
 * are carried out as usual: no `pause` is sent. A binding of your own for the same key or button,
 * or "reset bind", replaces the library's, whose events then stop. Button bindings do not fire on
 * 3-D plots. */

enum { GNUPLOT_EVENT_CLICK = 1, GNUPLOT_EVENT_KEY = 2, GNUPLOT_EVENT_CLOSE = 3 };

/* One event of the plot window. */
typedef struct gnuplot_event {
    int type;      /* GNUPLOT_EVENT_CLICK, _KEY or _CLOSE */
    int button;    /* a click's button, 1 to 3; else 0 */
    int key;       /* a key's code as gnuplot's MOUSE_KEY gives it (13 Return,
                    * 27 Escape, 1008 Left, 1050 F1...); else 0 */
    int character; /* the key's character for a code below 256; else 0 */
    double x, y;   /* where the pointer was, in the first axes' coordinates
                    * (MOUSE_X, MOUSE_Y); NaN for a close, or when unknown */
} gnuplot_event;

/* Has events reported for each key or button named in names, separated by
 * blanks: gnuplot's key names ("a", "A", "Return", "Escape", "Left",
 * "F1", "ctrl-a", "alt-b"...) or "Button2" and "Button3". Clicks of button
 * 1 and the window's close are reported once gnuplot_next_event() has been
 * called, or this. A bound key or button loses its built-in action (button
 * 3 zooms; "a" autoscales...); button 1 keeps its own, zoom and scrolling
 * stay while buttons 2 and 3 are left alone. Returns as gnuplot_sync()
 * does (no time limit), 1 with gnuplot's message when it refuses a name;
 * -1 at once, sending nothing, for a null handle or names, or after
 * "cannot bind this key name: not bound\n" for a name of other bytes than
 * letters, digits, '-' and '_', or longer than 32, unless it is one
 * printable character other than a blank, a quote or a backslash. */
int gnuplot_listen(_GNUPLOT_CTRL_ *handle, const char *names);

/* Hands over the window's next event, in the order they happened, waiting
 * up to timeout_ms milliseconds for one (negative: no limit; 0: only one
 * already heard): 0 with *event filled. A Close that comes again before a
 * plot (x11 reports one close up to three times) counts once. -1 when the
 * time runs out (no message), or after "gnuplot has ended: no event
 * read\n"; at once for a null handle or event. A live curve's waiting frame
 * is sent on the way. The first call binds button 1 and the close, as
 * gnuplot_listen() says; events before it are not heard. */
int gnuplot_next_event(_GNUPLOT_CTRL_ *handle, gnuplot_event *event, int timeout_ms);

/* Returns 0 once the user has closed the plot window, and at once when there
 * is none: the terminal is no window terminal, nothing has been plotted,
 * or its close has come and no plot of the library's after it (on x11,
 * where a replot does not reopen the window, whatever came after). -1 when
 * timeout_ms milliseconds pass first (negative: no limit), without a
 * message and with nothing left pending in gnuplot, or after "gnuplot has
 * ended: cannot wait for the window\n"; at once for a null handle. Asks
 * gnuplot for GPVAL_TERM, so with a timeout of 0 it tells only a close
 * already heard. The first call binds the close; a close before it is not
 * heard. A live curve's waiting frame is sent first. Never uses "pause
 * mouse close", which blocks gnuplot for good once the window is gone. */
int gnuplot_wait_closed(_GNUPLOT_CTRL_ *handle, int timeout_ms);

/* Draws count x/y pairs as the newest frame of the graph's live curve, and
 * never lets frames queue up. The first frame after open or a reset plots
 * the curve as gnuplot_plot_columns() of x and y does (same line, title,
 * style, data file and refusals), after asking gnuplot for its terminal;
 * each later one replaces the data file's contents (by rename, so a zoom
 * never reads half a frame) and sends "replot" and a sync, without waiting.
 * In a window, while gnuplot has not yet answered the frame before, the new
 * one waits in the handle, replacing any frame waiting there: it goes out
 * with the next frame, sync, gnuplot_next_event() or gnuplot_wait_closed()
 * that finds gnuplot done. On other terminals (a `set terminal gif
 * animate`, one image per frame) each frame waits for the one before: none
 * is dropped. Returns 0, or 1 when a waiting frame was dropped; -1 at once
 * for a null handle or array or a count below 1, or after a refusal of
 * gnuplot_plot_columns(), "cannot write temporary file: plot not sent\n" or
 * "gnuplot has ended: plot not sent\n". gnuplot's errors about a frame
 * come with the next sync. */
int gnuplot_plot_live(_GNUPLOT_CTRL_ *handle, const double *x, const double *y, int count,
                      const char *title);

/* ---- All in one call -------------------------------------------------- */

/* Opens a handle, sets the style (null: "lines") and the axis labels (null:
 * "X" and "Y"), plots x alone or the x/y pairs when y is given, prints
 * "press ENTER to continue" on standard output, reads standard input up to
 * and including the first newline (or to its end) and closes the handle.
 * Returns at once, starting nothing, for a null x or a count below 1. */
void gnuplot_plot_once(const char *title, const char *style, const char *x_label,
                       const char *y_label, const double *x, const double *y, int count);

#if defined(__GNUC__) || defined(__clang__)
#pragma GCC visibility pop
#endif

#ifdef __cplusplus
}
#endif

#endif /* CHARTLINK_H */
