// Test helpers: temporary directories, captured output, child processes and
// a fake gnuplot first on PATH.
#ifndef CHARTLINK_TESTS_SUPPORT_H
#define CHARTLINK_TESTS_SUPPORT_H

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "chartlink.h"

namespace test {

std::string read_file(const std::string &path);
void write_file(const std::string &path, const std::string &content, int mode = 0644);
bool file_exists(const std::string &path);
int file_mode(const std::string &path);

// Files and directories under /tmp/chartlink- that this process, or a child
// forked from it, has made: other programs' never count.
struct MadeFile {
    std::string name;
    bool close_on_exec;
};
std::vector<MadeFile> files_made();

// Those made since the mark (files_made().size() at the time) that are
// still there.
std::vector<std::string> left_behind(std::size_t mark = 0);

// Width and height from a PNG's header; {0, 0} when it is no PNG.
std::pair<unsigned, unsigned> png_size(const std::string &path);

// How many images a PNG file holds: each ends in one IEND chunk.
int png_iend_count(const std::string &path);

// A PNG's first image, decoded: three bytes, red, green, blue, per pixel.
struct Image {
    unsigned width = 0, height = 0;
    std::vector<unsigned char> rgb;
    // 0xRRGGBB at column x, row y from the top.
    unsigned long pixel(unsigned x, unsigned y) const;
};
Image read_png(const std::string &path);

// How two images of one size differ: the share of pixels that do, and the
// mean difference per channel over all pixels, out of 255.
struct Difference {
    double pixels = 1, mean = 255;
};
Difference compare(const Image &a, const Image &b);

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    const std::string &path() const { return path_; }

private:
    std::string path_;
};

// Sets (or, with nullopt, unsets) an environment variable for one scope.
class ScopedEnv {
public:
    ScopedEnv(const char *name, std::optional<std::string> value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv &) = delete;
    ScopedEnv &operator=(const ScopedEnv &) = delete;

private:
    std::string name_;
    std::optional<std::string> saved_;
};

class ScopedCwd {
public:
    explicit ScopedCwd(const std::string &dir);
    ~ScopedCwd();
    ScopedCwd(const ScopedCwd &) = delete;
    ScopedCwd &operator=(const ScopedCwd &) = delete;

private:
    std::string saved_;
};

// Sends what a file descriptor receives into a file until text() is called.
class Capture {
public:
    explicit Capture(int fd);
    ~Capture();
    Capture(const Capture &) = delete;
    Capture &operator=(const Capture &) = delete;
    std::string text();

private:
    void stop();
    int fd_;
    int saved_ = -1;
    TempDir dir_;
};

// Puts the fake gnuplot first on PATH, with DISPLAY set, in an empty current
// directory.
class FakeGnuplot {
public:
    explicit FakeGnuplot(const char *mode = "record");
    // Everything the fake has received so far (complete once closed).
    std::string received() const { return read_file(log_); }
    // The copy of the n-th data file it was told about, in copy mode.
    std::string data_copy(int n) const { return read_file(log_ + "." + std::to_string(n)); }
    const std::string &log() const { return log_; }

private:
    TempDir dir_;
    std::string log_;
    ScopedEnv path_;
    ScopedEnv log_env_;
    ScopedEnv mode_;
    ScopedEnv display_;
    ScopedCwd cwd_;
};

struct Transcript {
    std::string sent;   // what gnuplot received
    std::string errors; // what the library wrote to standard error
};

// Opens a handle on the fake gnuplot, lets use() drive it, then closes it.
Transcript run_session(const std::function<void(_GNUPLOT_CTRL_ *)> &use);

// Runs body in a forked child and returns its wait status.
int run_in_child(const std::function<int()> &body);

// A handle on the real gnuplot, closed at the end of the scope.
struct RealGnuplot {
    _GNUPLOT_CTRL_ *handle = gnuplot_init();
    ~RealGnuplot() { gnuplot_close(handle); }
};

// Time passed since start.
std::chrono::milliseconds since(std::chrono::steady_clock::time_point start);

// Data for the data plots: numbers gnuplot reads as written, and one not a
// number, value_count of each.
constexpr int value_count = 7;
extern const double values[value_count];
extern const double other[value_count];

// The name of a handle's data file in the slot.
std::string file_of(const _GNUPLOT_CTRL_ *handle, int slot);

} // namespace test

#endif
