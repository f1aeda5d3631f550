// File names and texts as gnuplot strings; provided by file_names.cpp.
#ifndef PLOT_CONTROL_FILE_NAMES_H
#define PLOT_CONTROL_FILE_NAMES_H

#include <string>

namespace plot_control {

// A file name as a gnuplot string that stands for exactly that file, as
// open() would take it: no pipe, no '~', quotes as quotes.
std::string exact_file_name(const char *file_name);

// text as a gnuplot string expression that holds exactly its bytes (a line
// break aside), and in which gnuplot expands nothing.
std::string gnuplot_string(const char *text);

} // namespace plot_control

#endif
