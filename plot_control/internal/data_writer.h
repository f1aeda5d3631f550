// Writing data files: a block that gathers their bytes, and the encoders
// that fill it; provided by data_writer.cpp.
#ifndef PLOT_CONTROL_DATA_WRITER_H
#define PLOT_CONTROL_DATA_WRITER_H

#include <algorithm>
#include <cstddef>
#include <vector>

namespace plot_control {

// Data files are written through this block; it lives with the handle, not
// on the caller's stack, and costs nothing per plot. A megabyte keeps the
// system calls for a million points down to a few dozen.
constexpr std::size_t data_block_size = 1024 * 1024;

struct DataBlock {
    double values[data_block_size / sizeof(double)]; // text or raw doubles
};

// Gathers the file's bytes in the block, so a million points cost a few
// dozen system calls rather than a million.
class BlockWriter {
public:
    BlockWriter(DataBlock &block, int fd)
        : block_(reinterpret_cast<char *>(block.values)), fd_(fd) {}

    // Room for at least `size` more bytes; the whole block, aligned for
    // doubles, when size is the block's.
    char *reserve(std::size_t size) {
        if (data_block_size - used_ < size)
            flush();
        return block_ + used_;
    }

    void written_up_to(const char *end) { used_ = static_cast<std::size_t>(end - block_); }

    // False from the first write that failed.
    bool ok() const { return ok_; }

    // Bytes already laid out go straight from the caller's memory.
    void write_through(const void *data, std::size_t size);

    // Empties the file, to write it anew.
    void start_over();

    // True when every byte reached the file.
    bool finish() {
        flush();
        return ok_;
    }

private:
    void flush();

    char *block_;
    int fd_;
    bool ok_ = true;
    std::size_t used_ = 0;
};

// Records of doubles_per_record native doubles, a block's worth at a time;
// fill(i, out) writes record i at out and returns its end.
template <class Fill>
bool write_records(BlockWriter &writer, std::size_t records, std::size_t doubles_per_record,
                   Fill fill) {
    const std::size_t per_block = data_block_size / (sizeof(double) * doubles_per_record);
    for (std::size_t first = 0; first < records && writer.ok(); first += per_block) {
        const std::size_t last = first + std::min(per_block, records - first);
        auto *out = reinterpret_cast<double *>(writer.reserve(data_block_size));
        for (std::size_t i = first; i < last; ++i)
            out = fill(i, out);
        writer.written_up_to(reinterpret_cast<char *>(out));
    }
    return writer.finish();
}

// The caller's values: column c, row i is columns[c][i].
struct Columns {
    const double *const *columns;
    int column_count;
    int count;
};

// One line per row, its values printed as numbers and separated by blanks.
bool write_text(BlockWriter &writer, const Columns &data);

// One record per row: the row's values as native doubles.
bool write_binary(BlockWriter &writer, const Columns &data);

// Records of two doubles, x and y, of the rows listed, or of every row.
bool write_pair_rows(BlockWriter &writer, const double *x, const double *y, std::size_t count,
                     const std::vector<std::size_t> *rows);

} // namespace plot_control

#endif
