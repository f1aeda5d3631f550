// Animation: 200 frames of 10,000 points each, drawn into a png one after
// another, through the library with columns, a reset and a sync a frame,
// and as a gnuplot script over files made beforehand draws them (the limit).
#include <string>
#include <vector>

#include "support.h"

namespace bench {
namespace {

constexpr int frame_count = 200;
constexpr int frame_points = 10000;

void frames_through_library() {
    _GNUPLOT_CTRL_ *handle = gnuplot_init();
    send(handle, png_terminal(Png::standard));
    gnuplot_setstyle(handle, "lines");
    for (int frame = 0; frame < frame_count; ++frame) {
        const double *const pair[] = {points().x.data(), points().y.data() + frame * 1000};
        send(handle, png_output());
        gnuplot_plot_columns(handle, pair, 2, frame_points, "frame");
        gnuplot_resetplot(handle);
        if (gnuplot_sync(handle, -1) != 0)
            std::abort();
    }
    gnuplot_close(handle);
}

// Only gnuplot's run of the script is timed, and the two take turns, so
// that the machine's moods fall on both.
void frames(benchmark::State &state) {
    use_real_gnuplot();
    const FrameFiles files("frames", frame_count,
                           [](std::size_t frame, std::vector<double> &record) {
                               record.resize(2 * frame_points);
                               for (std::size_t i = 0; i < frame_points; ++i) {
                                   record[2 * i] = points().x[i];
                                   record[2 * i + 1] = points().y[frame * 1000 + i];
                               }
                           });
    const GnuplotScript script(
        "frames.gp", png_terminal(Png::standard) +
                         "\ndo for [frame=0:" + std::to_string(frame_count - 1) + "] {\n  " +
                         png_output() + "\n  plot sprintf('" + files.dir() +
                         "/%d', frame) binary format='%2float64' using 1:2 title 'frame' with "
                         "lines\n}\n");
    std::vector<double> script_s, library_s;
    for (auto _ : state) {
        script_s.push_back(seconds_of([&] { script.run(); }));
        library_s.push_back(seconds_of(frames_through_library));
        state.SetIterationTime(script_s.back() + library_s.back());
    }
    state.counters["script_frames_per_s"] = frame_count / median(script_s);
    state.counters["library_frames_per_s"] = frame_count / median(library_s);
}

} // namespace

BENCHMARK(frames)
    ->Name("frames/library_and_script")
    ->Iterations(5)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace bench
