// Program lookup: is there an executable of this name in "." or along PATH?
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include <unistd.h>

#include "chartlink.h"

namespace {

constexpr std::size_t result_size = 4096;
char result[result_size];

// Builds <directory>/<name> in the result buffer; false when it does not fit.
bool build_candidate(std::string_view directory, std::string_view name) {
    if (directory.size() + 1 + name.size() >= result_size)
        return false;
    char *end = std::copy(directory.begin(), directory.end(), result);
    *end++ = '/';
    end = std::copy(name.begin(), name.end(), end);
    *end = '\0';
    return true;
}

bool candidate_found(std::string_view directory, std::string_view name) {
    return build_candidate(directory, name) && access(result, X_OK) == 0;
}

// Cuts the candidate in the result buffer back to its directory.
char *directory_of_candidate() {
    *std::strrchr(result, '/') = '\0';
    return result;
}

} // namespace

char *gnuplot_get_program_path(const char *name) {
    if (name == nullptr)
        return nullptr;
    if (candidate_found(".", name))
        return directory_of_candidate();
    const char *path = std::getenv("PATH");
    if (path == nullptr) {
        std::fputs("PATH variable not set\n", stderr);
        return nullptr;
    }
    // An empty entry stands for the current directory; one after a final
    // ':' is never reached, as "." has been tried first anyway.
    std::string_view rest(path);
    while (!rest.empty()) {
        const std::size_t colon = rest.find(':');
        const std::string_view entry = rest.substr(0, colon);
        if (candidate_found(entry.empty() ? "." : entry, name))
            return directory_of_candidate();
        rest.remove_prefix(colon == std::string_view::npos ? rest.size() : colon + 1);
    }
    return nullptr;
}
