// Finding an executable in "." or along PATH; provided by program_lookup.cpp.
#ifndef PLOT_CONTROL_PROGRAM_LOOKUP_H
#define PLOT_CONTROL_PROGRAM_LOOKUP_H

namespace plot_control {

struct ProgramPath {
    char text[4096];
};

// The directory holding an executable `name`, built in buffer: "." or a
// PATH entry as written. Null when found nowhere.
const char *find_program(ProgramPath &buffer, const char *name);

} // namespace plot_control

#endif
