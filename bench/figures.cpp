// The figures the benchmarks are judged by, and the report that prints them
// once every benchmark has run: a line each, its value and its target.
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "support.h"

namespace bench {
namespace {

// A result of a benchmark, by the name it is registered under: one of its
// counters (items_per_second among them), or "seconds", its real (or
// manual) time per iteration.
struct Result {
    const char *benchmark = nullptr;
    const char *quantity = nullptr;
};

constexpr Result rate(const char *benchmark) {
    return {benchmark, "items_per_second"};
}
constexpr Result seconds(const char *benchmark) {
    return {benchmark, "seconds"};
}

// How a figure's results are shown: times scale, to so many decimals.
struct Unit {
    const char *suffix;
    double scale;
    int decimals;
};

constexpr Unit million_points_per_s{" M points/s", 1e-6, 2}, frames_per_s{" frames/s", 1, 1},
    s{" s", 1, 2}, ms{" ms", 1e3, 0}, us{" us", 1e6, 0}, mib{" MiB", 1, 0}, frames{" frames", 1, 0};

// A bound on the figure as shown; "about" is a guide, neither met nor
// missed.
struct Target {
    enum Kind { none, at_least, at_most, about } kind;
    double bound;
};

constexpr Target no_target{Target::none, 0};
constexpr Target at_least(double bound) {
    return {Target::at_least, bound};
}
constexpr Target at_most(double bound) {
    return {Target::at_most, bound};
}
constexpr Target about(double bound) {
    return {Target::about, bound};
}

// What it measures, and how: a result in its unit or, when over names a
// second result, the ratio of the two (shown with both, in the unit).
struct Figure {
    const char *what;
    Result value, over;
    Unit unit;
    Target target;

    bool is_ratio() const { return over.benchmark != nullptr; }
};

// A window terminal's figures for one way of calling: its rate over gnuplot
// alone's, from window/<terminal>_rates, and the ages of what the screen
// shows, from window/<terminal>_<way>.
// clang-format off
#define WINDOW_FIGURES(terminal, way, rate, words) \
    {terminal " window, " words ", live rate over gnuplot alone's", {"window/" terminal "_rates", rate}, {"window/" terminal "_rates", "alone_fps"}, frames_per_s, at_least(0.9)}, \
    {terminal " window, " words ", age of the frame shown, median", {"window/" terminal "_" way, "age_median_s"}, {}, ms, no_target}, \
    {terminal " window, " words ", age of the frame shown, max", {"window/" terminal "_" way, "age_max_s"}, {}, ms, no_target}, \
    {terminal " window, " words ", frames behind, median", {"window/" terminal "_" way, "behind_median"}, {}, frames, at_most(1)}, \
    {terminal " window, " words ", frames behind, max", {"window/" terminal "_" way, "behind_max"}, {}, frames, at_most(1)}

// The same rate over gnuplot alone's beside a program as busy as the caller,
// and the screen's lag behind gnuplot's answers when each frame is waited for.
#define WINDOW_REFERENCES(terminal) \
    {terminal " window, back to back, over alone beside busy program", {"window/" terminal "_rates", "back_to_back_fps"}, {"window/" terminal "_rates", "beside_producer_fps"}, frames_per_s, at_least(0.9)}, \
    {terminal " window, waited for, screen behind gnuplot, median", {"window/" terminal "_gnuplot_lag", "behind_median"}, {}, frames, no_target}, \
    {terminal " window, waited for, screen behind gnuplot, max", {"window/" terminal "_gnuplot_lag", "behind_max"}, {}, frames, no_target}

// Every figure, family by family, each naming results by the names its
// family file registers. A figure whose benchmarks were filtered out, or
// skipped (the windows, without Xvfb), prints as not run.
const Figure figures[] = {
    {"text plot's time over the limit's", rate("text/limit"), rate("text/library"), million_points_per_s, at_most(1.5)},
    {"naive writer's time over the text plot's", rate("text/library"), rate("text/naive"), million_points_per_s, at_least(8)},
    {"columns' time over one write of the bytes", rate("columns/raw_write"), rate("columns/library"), million_points_per_s, at_most(1.3)},
    {"columns' time over an interleaving writer's", rate("columns/interleave_write"), rate("columns/library"), million_points_per_s, no_target},
    {"text plot's time over columns'", rate("columns/library"), rate("text/library"), million_points_per_s, about(20)},
    {"png end to end, xy's time over columns'", rate("columns/end_to_end_columns"), rate("columns/end_to_end_xy"), million_points_per_s, at_least(1.8)},
    {"frames, library's rate over a script's", {"frames/library_and_script", "library_frames_per_s"}, {"frames/library_and_script", "script_frames_per_s"}, frames_per_s, at_least(0.9)},
    {"heatmap, library's time over gnuplot's alone", seconds("grid/heatmap_library"), seconds("grid/heatmap_script"), ms, at_most(1.15)},
    {"10^7-point walk, columns' time over reduced's", {"reduced/ten_million", "columns_s"}, {"reduced/ten_million", "reduced_s"}, s, at_least(10)},
    {"10^7-point walk, gnuplot's peak memory, columns/reduced", {"reduced/ten_million", "columns_MiB"}, {"reduced/ten_million", "reduced_MiB"}, mib, no_target},
    {"10^8-point walk, columns' time over reduced's", {"reduced/hundred_million", "columns_s"}, {"reduced/hundred_million", "reduced_s"}, s, no_target},
    {"10^8-point walk, gnuplot's peak memory, columns/reduced", {"reduced/hundred_million", "columns_MiB"}, {"reduced/hundred_million", "reduced_MiB"}, mib, no_target},
    {"10 curves of 10^5, ten plots' time over one plot line's", {"figure/ten_curves", "separate_s"}, {"figure/ten_curves", "one_line_s"}, s, at_least(1.5)},
    {"10^8-value histogram, gnuplot bins' time over the library's", {"figure/histogram_hundred_million", "gnuplot_bins_s"}, {"figure/histogram_hundred_million", "library_s"}, s, at_least(5)},
    {"gnuplot_get_number round trip, median of 2000", {"round_trip/get_and_sync", "get_median_s"}, {}, us, at_most(200)},
    {"gnuplot_sync round trip, median of 2000", {"round_trip/get_and_sync", "sync_median_s"}, {}, us, no_target},
    WINDOW_FIGURES("x11", "back_to_back", "back_to_back_fps", "back to back"),
    WINDOW_FIGURES("x11", "1ms_apart", "apart_fps", "1 ms apart"),
    WINDOW_REFERENCES("x11"),
    WINDOW_FIGURES("qt", "back_to_back", "back_to_back_fps", "back to back"),
    WINDOW_FIGURES("qt", "1ms_apart", "apart_fps", "1 ms apart"),
    WINDOW_REFERENCES("qt"),
};
#undef WINDOW_FIGURES
#undef WINDOW_REFERENCES
// clang-format on

std::string shown(double value, int decimals, const char *suffix) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f%s", decimals, value, suffix);
    return text;
}

// What a target is compared with: a ratio, to two decimals, or a result,
// scaled into its unit.
std::string shown(double figured, const Figure &figure) {
    return figure.is_ratio() ? shown(figured, 2, "x")
                             : shown(figured, figure.unit.decimals, figure.unit.suffix);
}

std::string judged(double figured, const Figure &figure) {
    const Target &target = figure.target;
    switch (target.kind) {
    case Target::at_least:
        return "target at least " + shown(target.bound, figure) +
               (figured >= target.bound ? ": meets" : ": MISSES");
    case Target::at_most:
        return "target at most " + shown(target.bound, figure) +
               (figured <= target.bound ? ": meets" : ": MISSES");
    case Target::about:
        return "expected about " + shown(target.bound, figure);
    case Target::none:
        break;
    }
    return "no target";
}

// The usual console table, in colour only on a terminal, then the figures.
class FigureReporter : public benchmark::ConsoleReporter {
public:
    FigureReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular) {}

    void ReportRuns(const std::vector<Run> &runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            if (run.run_type == Run::RT_Aggregate || run.error_occurred)
                continue;
            const std::string &name = run.run_name.function_name;
            results_[{name, "seconds"}] =
                run.real_accumulated_time / static_cast<double>(run.iterations);
            for (const auto &[quantity, counter] : run.counters)
                results_[{name, quantity}] = counter;
        }
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf("\n");
        for (const Figure &figure : figures)
            print(figure);
    }

private:
    // A figure that is no ratio is over one.
    std::optional<double> find(const Result &result) const {
        if (result.benchmark == nullptr)
            return 1;
        const auto found = results_.find({result.benchmark, result.quantity});
        return found == results_.end() ? std::nullopt : std::optional(found->second);
    }

    void print(const Figure &figure) const {
        const std::optional<double> value = find(figure.value), over = find(figure.over);
        if (!value || !over) {
            std::printf("%-56s %9s\n", figure.what, "not run");
            return;
        }
        const Unit &unit = figure.unit;
        const double figured = figure.is_ratio() ? *value / *over : *value * unit.scale;
        const std::string operands = figure.is_ratio()
                                         ? shown(*value * unit.scale, unit.decimals, "") + " / " +
                                               shown(*over * unit.scale, unit.decimals, unit.suffix)
                                         : "";
        std::printf("%-56s %9s  %-28s %s\n", figure.what, shown(figured, figure).c_str(),
                    operands.c_str(), judged(figured, figure).c_str());
    }

    std::map<std::pair<std::string, std::string>, double> results_;
};

} // namespace
} // namespace bench

int main(int argc, char **argv) {
    bench::prepare();
    benchmark::Initialize(&argc, argv);
    bench::FigureReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
}
