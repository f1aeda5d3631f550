// Numbers as gnuplot reads them, short where that is exact and exact
// always; and numbers as gnuplot's sprintf writes them back.
#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstring>

#include "internal/numbers.h"

namespace plot_control {
namespace {

// %g's default precision.
constexpr int g_digits = 6;

// Significant digits of a decimal mantissa such as "-1.2300" or "0.00120".
int significant_digits(const char *first, const char *last) {
    const char *start = std::find_if(first, last, [](char c) { return c >= '1' && c <= '9'; });
    while (last != start && (last[-1] == '0' || last[-1] == '.'))
        --last;
    return static_cast<int>(last - start) - (std::find(start, last, '.') != last);
}

bool reads_back_as(const char *first, const char *last, double value) {
    double read = 0;
    const auto [end, error] = std::from_chars(first, last, read);
    return error == std::errc() && end == last && read == value;
}

// %g writes fixed notation for decimal exponents from -4 to 5.
bool g_writes_fixed(double value) {
    const double magnitude = std::fabs(value);
    return magnitude == 0 || (magnitude >= 1e-4 && magnitude < 1e6);
}

// The %g text where it reads back exactly, else the shortest exact text
// already written to [first, shortest_end).
char *prefer_g_text(char *first, char *shortest_end, double value) {
    char g_text[max_number_length];
    char *const g_end =
        std::to_chars(g_text, g_text + sizeof g_text, value, std::chars_format::general, g_digits)
            .ptr;
    if (!reads_back_as(g_text, g_end, value))
        return shortest_end;
    return std::copy(g_text, g_end, first);
}

} // namespace

char *format_number(char *first, double value) {
    char *const last = first + max_number_length;
    if (!std::isfinite(value))
        return std::to_chars(first, last, value, std::chars_format::general, g_digits).ptr;
    // The shortest exact text settles most values at the cost of one cheap
    // conversion: %g's six digits cannot read back when it needs more.
    char *const shortest_end = std::to_chars(first, last, value).ptr;
    char *const exponent = std::find(first, shortest_end, 'e');
    if (significant_digits(first, exponent) > g_digits)
        return shortest_end;
    // Subnormals are so coarse that %g may round to other digits that
    // still read back, so only a real %g conversion tells.
    if (std::fabs(value) < DBL_MIN && value != 0)
        return prefer_g_text(first, shortest_end, value);
    // Otherwise only one decimal of six digits lies close enough to read
    // back, so %g's digits are the shortest ones: only the notation can
    // differ (100000, not 1e+05; 1.23456e+06, not 1234560).
    const bool written_fixed = exponent == shortest_end;
    if (written_fixed == g_writes_fixed(value))
        return shortest_end;
    return std::to_chars(first, last, value, std::chars_format::general).ptr;
}

char *format_command_number(char *first, double value) {
    char *const end = format_number(first, value);
    // gnuplot reads a literal without '.' or exponent as a 64-bit integer.
    const bool integer_literal =
        std::find_if(first, end, [](char c) { return c == '.' || c == 'e'; }) == end;
    if (!integer_literal || std::fabs(value) < 0x1p63)
        return end;
    return std::to_chars(first, first + max_number_length, value, std::chars_format::scientific)
        .ptr;
}

namespace {

// Letters and digits are ASCII's, whatever the caller's locale calls a
// letter (in Latin-1, the first byte of a UTF-8 decimal sign is one).
bool part_of_number(char c) {
    const char lower = static_cast<char>(c | 0x20);
    return (c >= '0' && c <= '9') || (lower >= 'a' && lower <= 'z') ||
           (c != '\0' && std::strchr("+-. ", c) != nullptr);
}

// gnuplot's sprintf writes the decimal sign of the locale gnuplot was told
// to use ("set decimalsign locale"): a comma, or several bytes. No decimal
// sign is a letter, a digit, a sign or a blank, so each run of other bytes
// stands for one.
std::string with_decimal_points(const std::string &text) {
    std::string plain;
    for (std::size_t at = 0; at < text.size();) {
        if (part_of_number(text[at])) {
            plain += text[at++];
            continue;
        }
        plain += '.';
        while (at < text.size() && !part_of_number(text[at]))
            ++at;
    }
    return plain;
}

} // namespace

bool read_numbers(const std::string &raw, double *numbers, int count) {
    const std::string text = with_decimal_points(raw);
    const char *at = text.data(), *const last = text.data() + text.size();
    for (int i = 0; i < count; ++i) {
        if (i > 0 && (at == last || *at++ != ' '))
            return false;
        const auto [end, error] = std::from_chars(at, last, numbers[i]);
        if (error != std::errc())
            return false;
        at = end;
    }
    return at == last;
}

} // namespace plot_control
