// Program lookup: is there an executable of this name in "." or along PATH?
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include <unistd.h>

#include "internal/messages.h"
#include "internal/program_lookup.h"

namespace plot_control {
namespace {

// Builds <directory>/<name> in buffer; false when it does not fit.
bool build_candidate(ProgramPath &buffer, std::string_view directory, std::string_view name) {
    if (directory.size() + 1 + name.size() >= sizeof buffer.text)
        return false;
    char *end = std::copy(directory.begin(), directory.end(), buffer.text);
    *end++ = '/';
    end = std::copy(name.begin(), name.end(), end);
    *end = '\0';
    return true;
}

// Leaves the directory in buffer when <directory>/<name> is executable.
bool found_in(ProgramPath &buffer, std::string_view directory, std::string_view name) {
    if (!build_candidate(buffer, directory, name) || access(buffer.text, X_OK) != 0)
        return false;
    buffer.text[directory.size()] = '\0';
    return true;
}

} // namespace

const char *find_program(ProgramPath &buffer, const char *name) {
    if (found_in(buffer, ".", name))
        return buffer.text;
    const char *path = std::getenv("PATH");
    if (path == nullptr) {
        say("PATH variable not set\n");
        return nullptr;
    }
    // An empty entry stands for the current directory; one after a final
    // ':' is never reached, as "." has been tried first anyway.
    std::string_view rest(path);
    while (!rest.empty()) {
        const std::size_t colon = rest.find(':');
        const std::string_view entry = rest.substr(0, colon);
        if (found_in(buffer, entry.empty() ? "." : entry, name))
            return buffer.text;
        rest.remove_prefix(colon == std::string_view::npos ? rest.size() : colon + 1);
    }
    return nullptr;
}

} // namespace plot_control

char *gnuplot_get_program_path(const char *name) {
    plot_control::begin_call();
    // One result per thread: threads that look up at once never share it.
    thread_local plot_control::ProgramPath result;
    if (name == nullptr || plot_control::find_program(result, name) == nullptr)
        return nullptr;
    return result.text;
}
