// The handle's data files: made, kept in the table, set aside at a reset,
// retired once replaced, removed once gnuplot is done with them; provided
// by data_files.cpp.
#ifndef PLOT_CONTROL_DATA_FILES_H
#define PLOT_CONTROL_DATA_FILES_H

#include <cstddef>
#include <string>
#include <vector>

#include <sys/types.h>

#include "chartlink.h"

namespace plot_control {

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

// The table's part of a handle; the names and their count are the public
// record's temp_files and temp_file_count.
struct DataFiles {
    FileFacts table[CHARTLINK_MAX_TEMP_FILES]; // beside record.temp_files, slot for slot
    std::vector<NamedFile> shown;              // the graph still on screen after a reset
    std::vector<RetiringFile> retiring;
};

// Data files are made from this template in /tmp; mkostemp fills the X's.
constexpr char data_file_template[] = "/tmp/chartlink-XXXXXX";

struct NewDataFile {
    char name[sizeof data_file_template];
    int fd = -1;
};

// Still the very file the handle made, not one another program has since
// made under the same name.
bool still_there(const char *name, const FileFacts &facts);

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

// What the handle knows of the file `name` while it is the graph's (in the
// table, or on screen) and still the file the handle made; else null.
FileFacts *graph_file_facts(_GNUPLOT_CTRL_ *handle, const std::string &name);

// A reset: the current data files become those of the graph on screen,
// and the table empties. Retired files may go to gnuplot in a batch.
void set_data_files_aside(_GNUPLOT_CTRL_ *handle);

// True when `name` is a file of the graph on screen after a reset.
bool shows(const DataFiles &files, const std::string &name);

// A plot has replaced the graph on screen, sent after request
// last_request: its files retire. False when they stay until close.
bool retire_shown_graph(DataFiles &files, unsigned long last_request);

// gnuplot has answered `request`, so it has carried out every line sent
// before it: files retired before that are removed.
void gnuplot_has_answered(DataFiles &files, unsigned long request);

// After gnuplot has ended: removes every data file the handle still has.
// Allocates nothing.
void remove_data_files(_GNUPLOT_CTRL_ *handle);

} // namespace plot_control

#endif
