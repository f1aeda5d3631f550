// File names and texts as gnuplot strings.
#include <cstring>
#include <string>

#include "internal/file_names.h"

namespace plot_control {

// Single-quoted runs (gnuplot expands nothing inside them) and
// double-quoted runs of single quotes, joined by '.': gnuplot reads a
// doubled quote that opens a string as an empty string.
std::string gnuplot_string(const char *text) {
    std::string quoted = "'";
    for (const char *c = text; *c != '\0';) {
        const std::size_t run = *c == '\'' ? std::strspn(c, "'") : std::strcspn(c, "'");
        if (*c == '\'')
            quoted.append("' . \"").append(c, run).append("\" . '");
        else
            quoted.append(c, run);
        c += run;
    }
    return quoted + "'";
}

// A relative name starts with "./", so that gnuplot neither opens a pipe
// for a leading '|' nor expands a '~'.
std::string exact_file_name(const char *file_name) {
    return gnuplot_string((file_name[0] == '/' ? std::string() : "./").append(file_name).c_str());
}

} // namespace plot_control
