// File names as gnuplot strings; provided by file_names.cpp.
#ifndef PLOT_CONTROL_FILE_NAMES_H
#define PLOT_CONTROL_FILE_NAMES_H

#include <string>

namespace plot_control {

// A file name as a gnuplot string that stands for exactly that file, as
// open() would take it: no pipe, no '~', quotes as quotes.
std::string exact_file_name(const char *file_name);

} // namespace plot_control

#endif
