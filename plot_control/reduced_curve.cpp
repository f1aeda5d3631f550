// Every point of a reduced plot, kept beside its data file so that a save
// can swap them in for the reduced rows and back.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <utility>

#include <fcntl.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include "internal/data_files.h"
#include "internal/data_writer.h"
#include "internal/handle.h"
#include "internal/messages.h"
#include "internal/os_helpers.h"
#include "internal/reduced_curve.h"

namespace plot_control {
namespace {

// A block at a time: the system takes large writes no faster.
bool write_in_blocks(int fd, const double *values, std::size_t bytes) {
    const char *data = reinterpret_cast<const char *>(values);
    for (std::size_t done = 0; done < bytes; done += data_block_size) {
        if (!write_all(fd, data + done, std::min(data_block_size, bytes - done)))
            return false;
    }
    return true;
}

// Appends to `to` `bytes` bytes of `from` starting at `offset`.
bool copy_part(int from, off_t offset, std::size_t bytes, int to) {
    while (bytes > 0) {
        const ssize_t copied = sendfile(to, from, &offset, bytes);
        if (copied < 0 && errno == EINTR)
            continue;
        if (copied <= 0)
            return false;
        bytes -= static_cast<std::size_t>(copied);
    }
    return true;
}

// Writes records of every row from the kept x and y, through the handle's
// block: a quarter for x, one for y, half for the records.
bool write_every_row(Handle &handle, int to) {
    const ReducedCurve &curve = handle.reduced;
    const std::size_t count = curve.every_bytes / (2 * sizeof(double));
    constexpr std::size_t rows = data_block_size / (4 * sizeof(double));
    double *const x = handle.block.values, *const y = x + rows, *const records = y + rows;
    for (std::size_t first = 0; first < count; first += rows) {
        const std::size_t n = std::min(rows, count - first), bytes = n * sizeof(double);
        const off_t at = static_cast<off_t>(first * sizeof(double));
        if (pread(curve.fd, x, bytes, at) != static_cast<ssize_t>(bytes) ||
            pread(curve.fd, y, bytes, at + static_cast<off_t>(count * sizeof(double))) !=
                static_cast<ssize_t>(bytes))
            return false;
        for (std::size_t i = 0; i < n; ++i) {
            records[2 * i] = x[i];
            records[2 * i + 1] = y[i];
        }
        if (!write_all(to, reinterpret_cast<const char *>(records), 2 * bytes))
            return false;
    }
    return true;
}

// Replaces the curve's data file, in one step that gnuplot never sees half
// done (it may still be reading it for a plot sent earlier), with every
// row or the reduced ones.
bool replace_data_file(Handle &handle, bool every_row) {
    ReducedCurve &curve = handle.reduced;
    FileFacts *facts = graph_file_facts(&handle.record, curve.data_file);
    NewDataFile file;
    if (facts == nullptr || !make_data_file(file))
        return false;
    struct stat info {};
    const bool copied = (every_row ? write_every_row(handle, file.fd)
                                   : copy_part(curve.fd, static_cast<off_t>(curve.every_bytes),
                                               curve.reduced_bytes, file.fd)) &&
                        fstat(file.fd, &info) == 0;
    if (close(file.fd) != 0 || !copied || rename(file.name, curve.data_file.c_str()) != 0) {
        std::remove(file.name);
        return false;
    }
    facts->identity = {info.st_dev, info.st_ino};
    return true;
}

} // namespace

// Every x into an unlisted owner-only file of their own, for saves; -1
// when they cannot be kept.
int write_every_x(const double *x, std::size_t count) {
    const int fd =
        move_off_standard_streams(open("/tmp", O_TMPFILE | O_RDWR | O_CLOEXEC, S_IRUSR | S_IWUSR));
    if (fd != -1 && !write_in_blocks(fd, x, count * sizeof(double))) {
        close(fd);
        return -1;
    }
    return fd;
}

// After a reduced plot went out: the handle keeps every point, in the file
// from write_every_x() with every y and the reduced rows' records
// appended, for saves; says so when it cannot.
void keep_every_point(Handle &handle, OwnedFd &kept, const double *x, const double *y,
                      std::size_t count, const std::vector<std::size_t> &reduced) {
    ReducedCurve &curve = handle.reduced;
    curve.forget();
    BlockWriter records(handle.block, kept.fd);
    if (kept.fd == -1 || !write_in_blocks(kept.fd, y, count * sizeof(double)) ||
        !write_pair_rows(records, x, y, count, &reduced)) {
        warn("cannot keep every point for saves: they draw the reduced ones\n");
        return;
    }
    curve.fd = std::exchange(kept.fd, -1);
    curve.data_file = handle.record.temp_files[handle.record.temp_file_count - 1];
    curve.every_bytes = count * 2 * sizeof(double);
    curve.reduced_bytes = reduced.size() * 2 * sizeof(double);
}

void OwnedFd::close_now() {
    if (fd != -1)
        close(fd);
    fd = -1;
}

void ReducedCurve::forget() {
    if (fd != -1)
        close(fd);
    fd = -1;
    data_file.clear();
}

EveryPointDrawn::EveryPointDrawn(Handle &handle)
    : handle_(handle), swapped_(handle.reduced.fd != -1 && replace_data_file(handle, true)) {}

EveryPointDrawn::~EveryPointDrawn() {
    if (swapped_)
        replace_data_file(handle_, false);
}

} // namespace plot_control
