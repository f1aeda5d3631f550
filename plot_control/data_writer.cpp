// Writing data files through the handle's block: text for numbers gnuplot
// reads as written, native doubles for the rest.
#include <algorithm>

#include <unistd.h>

#include "chartlink.h"
#include "internal/data_writer.h"
#include "internal/numbers.h"
#include "internal/os_helpers.h"

namespace plot_control {

void BlockWriter::write_through(const void *data, std::size_t size) {
    flush();
    ok_ = ok_ && write_all(fd_, static_cast<const char *>(data), size);
}

void BlockWriter::start_over() {
    used_ = 0;
    ok_ = ok_ && ftruncate(fd_, 0) == 0 && lseek(fd_, 0, SEEK_SET) == 0;
}

void BlockWriter::flush() {
    ok_ = ok_ && write_all(fd_, block_, used_);
    used_ = 0;
}

bool write_text(BlockWriter &writer, const Columns &data) {
    const std::size_t longest_line =
        static_cast<std::size_t>(data.column_count) * (max_number_length + 1);
    for (int i = 0; i < data.count && writer.ok(); ++i) {
        char *end = writer.reserve(longest_line);
        for (int c = 0; c < data.column_count; ++c) {
            end = format_number(end, data.columns[c][i]);
            *end++ = c + 1 < data.column_count ? ' ' : '\n';
        }
        writer.written_up_to(end);
    }
    return writer.finish();
}

bool write_binary(BlockWriter &writer, const Columns &data) {
    // Copies the block cannot alias, so the loop keeps them in registers.
    const int column_count = data.column_count;
    const double *columns[CHARTLINK_MAX_COLUMNS];
    std::copy(data.columns, data.columns + column_count, columns);
    return write_records(writer, static_cast<std::size_t>(data.count),
                         static_cast<std::size_t>(column_count), [&](std::size_t i, double *out) {
                             for (int c = 0; c < column_count; ++c)
                                 *out++ = columns[c][i];
                             return out;
                         });
}

bool write_pair_rows(BlockWriter &writer, const double *x, const double *y, std::size_t count,
                     const std::vector<std::size_t> *rows) {
    const std::size_t records = rows != nullptr ? rows->size() : count;
    return write_records(writer, records, 2, [&](std::size_t i, double *out) {
        const std::size_t row = rows != nullptr ? (*rows)[i] : i;
        *out++ = x[row];
        *out++ = y[row];
        return out;
    });
}

} // namespace plot_control
