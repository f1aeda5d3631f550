// One plot of a data file: the file made and written, kept in the table,
// the line that names it sent and the plot counted; provided by
// data_file_plot.cpp.
#ifndef PLOT_CONTROL_DATA_FILE_PLOT_H
#define PLOT_CONTROL_DATA_FILE_PLOT_H

#include <csignal>

#include "chartlink.h"
#include "internal/command_channel.h"
#include "internal/data_files.h"
#include "internal/data_writer.h"
#include "internal/os_helpers.h"

namespace plot_control {

// What a plot line says besides its file and title:
//   <verb> "<file>"<layout> [title "<title>"] with <how>
struct PlotShape {
    const char *verb; // from plot_verb(): null when refused
    char layout[96] = "";
    const char *how;
};

// How gnuplot reads a binary file of records of column_count doubles: the
// record layout and the columns used, a single column against its record
// number.
void describe_binary(char (&layout)[96], int column_count);

// A data plot under way: started, its file exists and its line names it;
// then written through writer() and finished. Every refusal leaves the
// handle as it was and no file behind.
class DataFilePlot {
public:
    // Makes the file and the line; started() is false, the refusal said,
    // when it cannot.
    DataFilePlot(_GNUPLOT_CTRL_ *handle, const PlotShape &shape, const char *title);
    bool started() const { return started_; }

    // The plot line, naming the file.
    const CommandLine &line() const { return line_; }

    // Writes the file through the handle's block.
    BlockWriter writer();

    // After a start: keeps the file when written (else removes it and says
    // so), sends the line and counts the plot. True when the file was kept.
    bool finish(bool written);

private:
    _GNUPLOT_CTRL_ *handle_;
    const char *verb_;
    SignalBlock no_size_kill_{SIGXFSZ}; // a file too large fails to write
    NewDataFile file_;
    CommandLine line_;
    bool started_ = false;
};

// Writes the data file with write(writer), then sends the line that names
// it.
template <class Write>
void plot_data(_GNUPLOT_CTRL_ *handle, const PlotShape &shape, const char *title, Write write) {
    DataFilePlot plot(handle, shape, title);
    if (!plot.started())
        return;
    BlockWriter writer = plot.writer();
    plot.finish(write(writer));
}

} // namespace plot_control

#endif
