// The curve style: what plots write after "with", curve by curve.
#include <cstring>
#include <new>
#include <sstream>
#include <string>

#include "internal/figure.h"
#include "internal/handle.h"
#include "internal/messages.h"

namespace plot_control {
namespace {

// A colour after "lc": a linetype's number, or "rgb" and one quoted name.
bool is_colour(std::istringstream &words) {
    std::string word;
    if (!(words >> word))
        return false;
    if (word != "rgb" && word != "rgbcolor")
        return word.find_first_not_of("0123456789") == std::string::npos;
    std::string name;
    return static_cast<bool>(words >> name) && name.size() >= 2 &&
           (name.front() == '\'' || name.front() == '"') && name.back() == name.front();
}

} // namespace

const char *curve_style(const _GNUPLOT_CTRL_ *handle) {
    const std::string &style = handle_of(handle).figure.curve_style;
    return style.empty() ? handle->style : style.c_str();
}

// Only the colour: a wider line, dashes or marks make pixels of the points
// the reduction leaves out.
bool style_draws_reduced_alike(const _GNUPLOT_CTRL_ *handle) {
    std::istringstream words(curve_style(handle));
    std::string word;
    if (!(words >> word) || (word != "lines" && word != "l"))
        return false;
    while (words >> word) {
        if ((word != "lc" && word != "linecolor") || !is_colour(words))
            return false;
    }
    return true;
}

} // namespace plot_control

void gnuplot_set_curve_style(_GNUPLOT_CTRL_ *handle, const char *with) {
    plot_control::begin_call();
    if (handle == nullptr)
        return;
    std::string &style = plot_control::handle_of(handle).figure.curve_style;
    if (with == nullptr) {
        style.clear();
        return;
    }
    if (std::strpbrk(with, "\n\r") != nullptr) {
        plot_control::say("curve style holds a line break: not set\n");
        return;
    }
    if (std::strlen(with) > CHARTLINK_MAX_COMMAND_LENGTH) {
        plot_control::say("curve style too long: not set\n");
        return;
    }
    try {
        style = with;
    } catch (const std::bad_alloc &) {
        plot_control::say("cannot allocate memory: curve style not set\n");
    }
}
