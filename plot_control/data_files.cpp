// The handle's table of data files: making them, and removing them only
// once gnuplot is done with them.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "internal.h"

namespace chartlink {
namespace {

// Which file a name stands for now; {} when there is none.
FileIdentity identity_of(const char *name) {
    struct stat info {};
    if (lstat(name, &info) != 0)
        return {};
    return {info.st_dev, info.st_ino};
}

// Still the very file the handle made, not one another program has since
// made under the same name.
bool still_there(const NamedFile &file) {
    const FileIdentity now = identity_of(file.name.c_str());
    return now.inode != 0 && now.device == file.identity.device && now.inode == file.identity.inode;
}

// "!rm -f '<file>' ...": gnuplot runs it after every line sent before it.
// mkostemp names hold only letters and digits, so they need no escaping.
void format_removal(const _GNUPLOT_CTRL_ *handle, CommandLine &line) {
    char *end = std::strcpy(line.text, "!rm -f") + std::strlen("!rm -f");
    for (int slot = 0; slot < handle->temp_file_count; ++slot)
        end += std::sprintf(end, " '%s'", handle->temp_files[slot]);
}

} // namespace

bool data_slot_free(const _GNUPLOT_CTRL_ *handle) {
    if (handle->temp_file_count < CHARTLINK_MAX_TEMP_FILES)
        return true;
    std::fprintf(stderr, "maximum # of temporary files reached (%d): cannot open more",
                 CHARTLINK_MAX_TEMP_FILES);
    return false;
}

bool create_data_file(NewDataFile &file) {
    std::memcpy(file.name, data_file_template, sizeof file.name);
    file.fd = mkostemp(file.name, O_CLOEXEC);
    if (file.fd != -1)
        return true;
    std::fputs("cannot create temporary file: exiting plot", stderr);
    return false;
}

bool keep_data_file(_GNUPLOT_CTRL_ *handle, NewDataFile &file, bool written) {
    if (close(file.fd) != 0 || !written) {
        std::remove(file.name);
        std::fputs("cannot write temporary file: plot not sent\n", stderr);
        return false;
    }
    std::strcpy(handle->temp_files[handle->temp_file_count++], file.name);
    return true;
}

void hand_data_files_to_gnuplot(_GNUPLOT_CTRL_ *handle) {
    if (handle->temp_file_count == 0)
        return;
    auto &handed = handle_of(handle).handed_to_gnuplot;
    handed.erase(std::remove_if(handed.begin(), handed.end(),
                                [](const NamedFile &file) { return !still_there(file); }),
                 handed.end());
    try {
        handed.reserve(handed.size() + static_cast<std::size_t>(handle->temp_file_count));
        for (int slot = 0; slot < handle->temp_file_count; ++slot)
            handed.push_back({handle->temp_files[slot], identity_of(handle->temp_files[slot])});
    } catch (const std::bad_alloc &) {
        return; // the table stays full; close still removes every file
    }
    CommandLine removal;
    format_removal(handle, removal);
    // When the pipe is full the line is not sent; the files then wait for close.
    send_line_by(handle, removal, Deadline(0));
    handle->temp_file_count = 0;
}

void remove_data_files(_GNUPLOT_CTRL_ *handle) {
    for (int slot = 0; slot < handle->temp_file_count; ++slot)
        std::remove(handle->temp_files[slot]);
    handle->temp_file_count = 0;
    for (const NamedFile &file : handle_of(handle).handed_to_gnuplot) {
        if (still_there(file))
            std::remove(file.name.c_str());
    }
    handle_of(handle).handed_to_gnuplot.clear();
}

} // namespace chartlink
