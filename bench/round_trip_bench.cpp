// Round trips: the median of 2,000 gnuplot_get_number() calls in a row, and
// of as many syncs, on the real gnuplot.
#include <vector>

#include "support.h"

namespace bench {
namespace {

template <class Ask> double median_of_round_trips(Ask ask) {
    std::vector<double> seconds;
    for (int i = 0; i < 2000; ++i)
        seconds.push_back(seconds_of(ask));
    return median(seconds);
}

void round_trips(benchmark::State &state) {
    use_real_gnuplot();
    _GNUPLOT_CTRL_ *handle = gnuplot_init();
    for (auto _ : state) {
        double value = 0;
        state.counters["get_median_s"] = median_of_round_trips([&] {
            if (gnuplot_get_number(handle, "GPVAL_pi", &value, -1) != 0)
                std::abort();
        });
        state.counters["sync_median_s"] = median_of_round_trips([&] {
            if (gnuplot_sync(handle, -1) != 0)
                std::abort();
        });
    }
    gnuplot_close(handle);
}

} // namespace

BENCHMARK(round_trips)
    ->Name("round_trip/get_and_sync")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseRealTime();

} // namespace bench
