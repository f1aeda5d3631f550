// The handle's data files: making them, and removing them only once gnuplot
// is done with them. After a reset the graph on screen keeps its files (a
// window re-reads them to zoom, as does a replot); once a later plot has
// replaced that graph they retire, and go as soon as gnuplot has answered a
// request sent after that plot. Without such answers, retired files are
// handed to gnuplot in batches, to remove with one shell command.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <new>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "internal/command_channel.h"
#include "internal/data_files.h"
#include "internal/handle.h"
#include "internal/messages.h"
#include "internal/os_helpers.h"

namespace plot_control {

bool still_there(const char *name, const FileFacts &facts) {
    struct stat info {};
    return lstat(name, &info) == 0 && info.st_dev == facts.identity.device &&
           info.st_ino == facts.identity.inode;
}
namespace {

// A batch goes to gnuplot once this many retired files, or bytes, wait.
constexpr std::size_t batch_files = 16;
constexpr std::size_t batch_bytes = 16 * 1024 * 1024;

void remove_if_still_there(const char *name, const FileFacts &facts) {
    if (still_there(name, facts))
        std::remove(name);
}

bool batch_due(const std::vector<RetiringFile> &retiring) {
    std::size_t files = 0, bytes = 0;
    for (const RetiringFile &file : retiring) {
        if (!file.handed) {
            ++files;
            bytes += file.file.facts.bytes;
        }
    }
    return files >= batch_files || bytes >= batch_bytes;
}

// Names on one removal line: mkostemp names are all as long as the template.
constexpr std::size_t names_per_line =
    (CHARTLINK_MAX_COMMAND_LENGTH - 6) / (sizeof data_file_template - 1 + 3);

// "!rm -f '<file>' ...": gnuplot runs it after every line sent before it.
// mkostemp names hold only letters and digits, so they need no escaping.
void hand_batch_to_gnuplot(_GNUPLOT_CTRL_ *handle) {
    std::vector<RetiringFile> &retiring = handle_of(handle).files.retiring;
    if (!batch_due(retiring))
        return;
    CommandLine removal;
    char *end = std::strcpy(removal.text, "!rm -f") + std::strlen("!rm -f");
    std::size_t named = 0;
    for (const RetiringFile &file : retiring) {
        if (!file.handed && named++ < names_per_line)
            end += std::sprintf(end, " '%s'", file.file.name.c_str());
    }
    // Never waits: with the pipe full the batch waits for the next chance.
    if (!send_line_by(handle, removal, Deadline(0)))
        return;
    named = 0;
    for (RetiringFile &file : retiring) {
        if (!file.handed && named++ < names_per_line)
            file.handed = true;
    }
}

} // namespace

bool data_slot_free(const _GNUPLOT_CTRL_ *handle) {
    if (handle->temp_file_count < CHARTLINK_MAX_TEMP_FILES)
        return true;
    say_formatted("maximum # of temporary files reached (%d): cannot open more",
                  CHARTLINK_MAX_TEMP_FILES);
    return false;
}

bool make_data_file(NewDataFile &file) {
    std::memcpy(file.name, data_file_template, sizeof file.name);
    file.fd = mkostemp(file.name, O_CLOEXEC);
    if (file.fd == -1)
        return false;
    file.fd = move_off_standard_streams(file.fd);
    if (file.fd != -1)
        return true;
    std::remove(file.name); // made, but no descriptor left to write it through
    return false;
}

bool create_data_file(NewDataFile &file) {
    if (make_data_file(file))
        return true;
    say("cannot create temporary file: exiting plot");
    return false;
}

bool keep_data_file(_GNUPLOT_CTRL_ *handle, NewDataFile &file, bool written) {
    struct stat info {};
    const bool known = written && fstat(file.fd, &info) == 0;
    if (close(file.fd) != 0 || !known) {
        std::remove(file.name);
        say("cannot write temporary file: plot not sent\n");
        return false;
    }
    const int slot = handle->temp_file_count++;
    std::strcpy(handle->temp_files[slot], file.name);
    handle_of(handle).files.table[slot] = {{info.st_dev, info.st_ino},
                                           static_cast<std::size_t>(info.st_size)};
    return true;
}

FileFacts *graph_file_facts(_GNUPLOT_CTRL_ *handle, const std::string &name) {
    DataFiles &files = handle_of(handle).files;
    FileFacts *facts = nullptr;
    for (int slot = 0; slot < handle->temp_file_count; ++slot) {
        if (name == handle->temp_files[slot])
            facts = &files.table[slot];
    }
    for (NamedFile &file : files.shown) {
        if (name == file.name)
            facts = &file.facts;
    }
    return facts != nullptr && still_there(name.c_str(), *facts) ? facts : nullptr;
}

void set_data_files_aside(_GNUPLOT_CTRL_ *handle) {
    Handle &owner = handle_of(handle);
    try {
        std::vector<NamedFile> taken;
        for (int slot = 0; slot < handle->temp_file_count; ++slot)
            taken.push_back({handle->temp_files[slot], owner.files.table[slot]});
        owner.files.shown.reserve(owner.files.shown.size() + taken.size());
        std::move(taken.begin(), taken.end(), std::back_inserter(owner.files.shown));
    } catch (const std::bad_alloc &) {
        return; // the table keeps them; close removes them
    }
    handle->temp_file_count = 0;
    hand_batch_to_gnuplot(handle);
}

bool shows(const DataFiles &files, const std::string &name) {
    return std::any_of(files.shown.begin(), files.shown.end(),
                       [&](const NamedFile &file) { return file.name == name; });
}

bool retire_shown_graph(DataFiles &files, unsigned long last_request) {
    try {
        files.retiring.reserve(files.retiring.size() + files.shown.size());
    } catch (const std::bad_alloc &) {
        return false; // they stay until close
    }
    for (NamedFile &file : files.shown)
        files.retiring.push_back({std::move(file), last_request, false});
    files.shown.clear();
    return true;
}

void gnuplot_has_answered(DataFiles &files, unsigned long request) {
    auto &retiring = files.retiring;
    const auto read = [request](const RetiringFile &file) { return file.after_request < request; };
    for (const RetiringFile &file : retiring) {
        if (read(file))
            remove_if_still_there(file.file.name.c_str(), file.file.facts);
    }
    retiring.erase(std::remove_if(retiring.begin(), retiring.end(), read), retiring.end());
}

void remove_data_files(_GNUPLOT_CTRL_ *handle) {
    Handle &owner = handle_of(handle);
    for (int slot = 0; slot < handle->temp_file_count; ++slot)
        remove_if_still_there(handle->temp_files[slot], owner.files.table[slot]);
    handle->temp_file_count = 0;
    for (const NamedFile &file : owner.files.shown)
        remove_if_still_there(file.name.c_str(), file.facts);
    for (const RetiringFile &file : owner.files.retiring)
        remove_if_still_there(file.file.name.c_str(), file.file.facts);
    owner.files.shown.clear();
    owner.files.retiring.clear();
}

} // namespace plot_control
