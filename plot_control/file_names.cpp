// File names as gnuplot strings.
#include <cstring>
#include <string>

#include "internal/file_names.h"

namespace plot_control {

// Single-quoted runs (gnuplot expands nothing inside them) and
// double-quoted runs of single quotes, joined by '.'. A relative name starts
// with "./", so that gnuplot neither opens a pipe for a leading '|' nor
// expands a '~'.
std::string exact_file_name(const char *file_name) {
    std::string quoted = file_name[0] == '/' ? "'" : "'./";
    for (const char *c = file_name; *c != '\0';) {
        const std::size_t run = *c == '\'' ? std::strspn(c, "'") : std::strcspn(c, "'");
        if (*c == '\'')
            quoted.append("' . \"").append(c, run).append("\" . '");
        else
            quoted.append(c, run);
        c += run;
    }
    return quoted + "'";
}

} // namespace plot_control
