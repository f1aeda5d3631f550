// Numbers as gnuplot reads them: short where that is exact, exact always.
#include <algorithm>
#include <charconv>
#include <cmath>

#include "internal.h"

namespace chartlink {
namespace {

// Significant digits of a decimal text such as "-1.2300e+05" or "0.00120".
int significant_digits(const char *first, const char *last) {
    const char *start = nullptr;
    const char *end = nullptr;
    for (const char *c = first; c != last && *c != 'e'; ++c) {
        if (*c < '1' || *c > '9')
            continue;
        if (start == nullptr)
            start = c;
        end = c + 1;
    }
    if (start == nullptr)
        return 0;
    int digits = 0;
    for (const char *c = start; c != end; ++c)
        digits += *c != '.';
    return digits;
}

bool reads_back_as(const char *first, const char *last, double value) {
    double read = 0;
    const auto [end, error] = std::from_chars(first, last, read);
    return error == std::errc() && end == last && read == value;
}

} // namespace

char *format_number(char *first, double value) {
    char *const last = first + max_number_length;
    if (!std::isfinite(value))
        return std::to_chars(first, last, value, std::chars_format::general, 6).ptr;
    // The shortest exact text comes first because it is cheap and settles
    // most values: %g's six digits can only read back when it needs at most
    // six. Then %g's own text is preferred, as gnuplot users expect it.
    char *const shortest_end = std::to_chars(first, last, value).ptr;
    if (significant_digits(first, shortest_end) > 6)
        return shortest_end;
    char g_text[max_number_length];
    char *const g_end =
        std::to_chars(g_text, g_text + sizeof g_text, value, std::chars_format::general, 6).ptr;
    if (!reads_back_as(g_text, g_end, value))
        return shortest_end;
    return std::copy(g_text, g_end, first);
}

} // namespace chartlink
