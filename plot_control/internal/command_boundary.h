// Where the lines sent so far leave gnuplot's reader; provided by
// command_boundary.cpp.
#ifndef PLOT_CONTROL_COMMAND_BOUNDARY_H
#define PLOT_CONTROL_COMMAND_BOUNDARY_H

#include <cstddef>
#include <string>
#include <vector>

namespace plot_control {

// At the start of a command, or within one (after a line ending in a
// backslash, inside an open '{' block or a datablock).
class CommandBoundary {
public:
    // Takes lines as they are sent, each ending in a newline.
    void feed(const char *text, std::size_t size);
    // True when gnuplot takes the next line as the start of a command.
    bool at_command_start() const;
    // "(<expression>)" as gnuplot would read it at the end of a line, then
    // a '}' for each '{' it leaves open: a comment cut off, a string left
    // open closed. Read on its own, it leaves gnuplot at a command's start.
    static std::string closed(const char *expression);

private:
    enum class Within { code, double_quoted, single_quoted, comment, shell };
    void take(char c);
    void take_line(const char *line, std::size_t size);
    void end_statement();

    Within within_ = Within::code;
    bool escaped_ = false; // after a backslash in a double-quoted string
    bool joined_ = false;  // the last line ended in a backslash
    int depth_ = 0;        // '{' open
    std::string statement_;
    std::vector<std::string> datablock_ends_; // the lines that end the datablocks to come
};

} // namespace plot_control

#endif
