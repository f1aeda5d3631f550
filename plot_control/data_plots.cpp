// Plots of caller arrays, which travel to gnuplot through temporary files.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <unistd.h>

#include "internal.h"

namespace {

constexpr std::size_t temp_name_size = 128;

bool write_all(int fd, const char *data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = write(fd, data, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

// Gathers data lines into blocks, so a million points cost a few dozen
// system calls rather than a million.
class BlockWriter {
public:
    static constexpr std::size_t longest_line = 2 * chartlink::max_number_length + 2;

    explicit BlockWriter(int fd) : fd_(fd) {}

    // Room for one more line, at least longest_line bytes.
    char *line_start() {
        if (sizeof block_ - used_ < longest_line)
            flush();
        return block_ + used_;
    }

    void line_written(const char *end) { used_ = static_cast<std::size_t>(end - block_); }

    // True when every byte reached the file.
    bool finish() {
        flush();
        return ok_;
    }

private:
    void flush() {
        ok_ = ok_ && write_all(fd_, block_, used_);
        used_ = 0;
    }

    int fd_;
    bool ok_ = true;
    std::size_t used_ = 0;
    char block_[64 * 1024];
};

// One value per line, or "x y" per line when y is given.
bool write_values(int fd, const double *x, const double *y, int count) {
    BlockWriter writer(fd);
    for (int i = 0; i < count; ++i) {
        char *end = chartlink::format_number(writer.line_start(), x[i]);
        if (y != nullptr) {
            *end++ = ' ';
            end = chartlink::format_number(end, y[i]);
        }
        *end++ = '\n';
        writer.line_written(end);
    }
    return writer.finish();
}

bool format_plot_command(chartlink::CommandLine &line, const _GNUPLOT_CTRL_ *handle,
                         const char *file_name, const char *title) {
    const char *verb = chartlink::plot_verb(handle);
    if (title == nullptr)
        return chartlink::format_own_command(line, "%s \"%s\" with %s", verb, file_name,
                                             handle->style);
    return chartlink::format_own_command(line, "%s \"%s\" title \"%s\" with %s", verb, file_name,
                                         title, handle->style);
}

// Writes the data file, then sends the plot naming it. Every refusal leaves
// the handle as it was and no file behind.
void plot_data(_GNUPLOT_CTRL_ *handle, const double *x, const double *y, int count,
               const char *title) {
    if (handle->temp_file_count >= CHARTLINK_MAX_TEMP_FILES) {
        std::fprintf(stderr, "maximum # of temporary files reached (%d): cannot open more",
                     CHARTLINK_MAX_TEMP_FILES);
        return;
    }
    char name[temp_name_size];
    std::snprintf(name, sizeof name, "%s/chartlink-XXXXXX", "/tmp");
    chartlink::CommandLine line;
    // mkstemp keeps the name's length, so the template tells whether the
    // command will be accepted before any file exists.
    if (!format_plot_command(line, handle, name, title))
        return;
    const int fd = mkstemp(name);
    if (fd == -1) {
        std::fputs("cannot create temporary file: exiting plot", stderr);
        return;
    }
    const bool written = write_values(fd, x, y, count);
    if (close(fd) != 0 || !written) {
        std::remove(name);
        std::fputs("cannot write temporary file: plot not sent\n", stderr);
        return;
    }
    format_plot_command(line, handle, name, title);
    std::strcpy(handle->temp_files[handle->temp_file_count++], name);
    chartlink::send_line(handle, line);
    chartlink::count_plot(handle);
}

} // namespace

void gnuplot_plot_x(_GNUPLOT_CTRL_ *handle, const double *x, int count, const char *title) {
    if (handle != nullptr && x != nullptr && count >= 1)
        plot_data(handle, x, nullptr, count, title);
}

void gnuplot_plot_xy(_GNUPLOT_CTRL_ *handle, const double *x, const double *y, int count,
                     const char *title) {
    if (handle != nullptr && x != nullptr && y != nullptr && count >= 1)
        plot_data(handle, x, y, count, title);
}

void gnuplot_resetplot(_GNUPLOT_CTRL_ *handle) {
    if (handle == nullptr)
        return;
    chartlink::remove_temp_files(handle);
    handle->plot_count = 0;
}
