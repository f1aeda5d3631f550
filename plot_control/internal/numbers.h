// Numbers as gnuplot reads and writes them; provided by numbers.cpp.
#ifndef PLOT_CONTROL_NUMBERS_H
#define PLOT_CONTROL_NUMBERS_H

#include <cstddef>
#include <string>

namespace plot_control {

// Longest text format_number() writes.
constexpr std::size_t max_number_length = 32;

// Writes value as printf's %g would when that text reads back as the same
// double, else as the shortest text that does; independent of the locale.
// Needs max_number_length bytes at first; returns the end of the text.
char *format_number(char *first, double value);

// As format_number(), for a command line: a whole number too large for
// gnuplot's 64-bit integers is written in exponent form instead.
char *format_command_number(char *first, double value);

// Reads count numbers separated by single blanks, the whole text, as
// gnuplot's sprintf wrote them; false when it holds anything else.
bool read_numbers(const std::string &text, double *numbers, int count);

} // namespace plot_control

#endif
