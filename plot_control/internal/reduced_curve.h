// Every point of a reduced plot, kept so that a save draws what the full
// plot would; provided by reduced_curve.cpp.
#ifndef PLOT_CONTROL_REDUCED_CURVE_H
#define PLOT_CONTROL_REDUCED_CURVE_H

#include <cstddef>
#include <string>
#include <vector>

namespace plot_control {

struct Handle;

// Every point of the graph's reduced curve, for saves to draw: every x,
// every y, then records of the reduced rows, in an unlisted owner-only file that
// goes with its descriptor, closed when the curve's data file retires or
// the handle closes.
struct ReducedCurve {
    int fd = -1;
    std::string data_file; // the file gnuplot reads, which holds the reduced rows
    std::size_t every_bytes = 0, reduced_bytes = 0;

    ReducedCurve() = default;
    ReducedCurve(const ReducedCurve &) = delete;
    ReducedCurve &operator=(const ReducedCurve &) = delete;
    ~ReducedCurve() { forget(); }
    void forget();
};

// A descriptor closed with its owner unless handed on.
struct OwnedFd {
    int fd;
    void close_now();
    ~OwnedFd() { close_now(); }
};

// Every x into an unlisted owner-only file of their own, for saves; -1
// when they cannot be kept.
int write_every_x(const double *x, std::size_t count);

// After a reduced plot went out: the handle keeps every point, in the file
// from write_every_x() with every y and the reduced rows' records
// appended, for saves; says so when it cannot.
void keep_every_point(Handle &handle, OwnedFd &kept, const double *x, const double *y,
                      std::size_t count, const std::vector<std::size_t> &reduced);

// While an object of this lives, the graph's reduced curve, if any, has
// every point in its data file, so that a save draws what the full plot
// would; afterwards the reduced ones again.
class EveryPointDrawn {
public:
    explicit EveryPointDrawn(Handle &handle);
    ~EveryPointDrawn();
    EveryPointDrawn(const EveryPointDrawn &) = delete;
    EveryPointDrawn &operator=(const EveryPointDrawn &) = delete;

private:
    Handle &handle_;
    bool swapped_; // the data file holds every point
};

} // namespace plot_control

#endif
