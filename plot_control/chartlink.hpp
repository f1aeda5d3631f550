// chartlink for C++17: one object that owns a gnuplot process, takes
// containers, and throws chartlink::Error where the C API refuses or fails.
//
//   chartlink::Gnuplot plot;                       // starts gnuplot, or throws
//   plot.style("lines").xlabel("t").plot(samples, "data").save("data.png");
//                                                  // closed when plot goes
//
// Each member is one call of the C API in chartlink.h, then a check of what
// the C layer reported; chartlink_ranges.hpp turns containers and texts into
// the C API's arguments. handle() gives the C handle for anything this layer
// does not wrap. The C layer's messages still go to standard error; the
// exception says the same. Like a C handle, one Gnuplot object is used by
// one thread at a time.
#ifndef CHARTLINK_HPP
#define CHARTLINK_HPP

#include <chrono>
#include <climits>
#include <string>
#include <string_view>
#include <utility>

#include "chartlink.h"
#include "chartlink_ranges.hpp"

namespace chartlink {

namespace detail {

// A limit in milliseconds as the C API takes it: negative for none.
inline int c_limit(std::chrono::milliseconds limit) {
    return limit.count() < 0         ? -1
           : limit.count() > INT_MAX ? INT_MAX
                                     : static_cast<int>(limit.count());
}

} // namespace detail

class Gnuplot {
public:
    // Waits for gnuplot's answer without a time limit.
    static constexpr std::chrono::milliseconds no_limit{-1};

    // Starts gnuplot; throws Error, saying why, when it cannot be found or started.
    Gnuplot() : handle_(gnuplot_init()) {
        if (handle_ == nullptr)
            throw Error(std::string("chartlink: ") + gnuplot_last_message());
    }

    Gnuplot(Gnuplot &&other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    Gnuplot &operator=(Gnuplot &&other) noexcept {
        if (this != &other) {
            gnuplot_close(handle_);
            handle_ = std::exchange(other.handle_, nullptr);
        }
        return *this;
    }
    Gnuplot(const Gnuplot &) = delete;
    Gnuplot &operator=(const Gnuplot &) = delete;

    // Ends gnuplot, waiting for it, and removes the data files.
    ~Gnuplot() { gnuplot_close(handle_); }

    // The C handle, still owned by this object; null once moved from.
    _GNUPLOT_CTRL_ *handle() const { return handle_; }

    // Sends one line exactly as written: never read as a printf format.
    Gnuplot &send(std::string_view line) {
        gnuplot_cmd(live(), "%s", detail::c_text(line).c_str());
        return checked();
    }

    // Unknown names warn on standard error and give "points", as in C.
    Gnuplot &style(std::string_view name) {
        gnuplot_setstyle(live(), detail::c_text(name).c_str());
        return checked();
    }

    Gnuplot &xlabel(std::string_view text) {
        gnuplot_set_xlabel(live(), detail::c_text(text).c_str());
        return checked();
    }

    Gnuplot &ylabel(std::string_view text) {
        gnuplot_set_ylabel(live(), detail::c_text(text).c_str());
        return checked();
    }

    // Plots values against their index. An empty range plots nothing.
    Gnuplot &plot(const Values &values, const Title &title = std::nullopt) {
        gnuplot_plot_x(live(), values.data(), values.count(), detail::c_title(title));
        return checked();
    }

    // Plots x/y pairs; x and y must be as long as each other.
    Gnuplot &plot(const Values &x, const Values &y, const Title &title = std::nullopt) {
        gnuplot_plot_xy(live(), x.data(), y.data(), detail::count_of(x, y), detail::c_title(title));
        return checked();
    }

    // Plots x/y pairs as lines, sending only the points that can change a
    // pixel of the graph (see gnuplot_plot_xy_reduced()): for millions of
    // points. x and y must be as long as each other.
    Gnuplot &plot_reduced(const Values &x, const Values &y, const Title &title = std::nullopt) {
        gnuplot_plot_xy_reduced(live(), x.data(), y.data(), detail::count_of(x, y),
                                detail::c_title(title));
        return checked();
    }

    // Plots columns of equal length as raw doubles, such as x, y and an
    // error for style "errorbars": plot_columns({x, y, error}, "title").
    Gnuplot &plot_columns(const Columns &columns, const Title &title = std::nullopt) {
        gnuplot_plot_columns(live(), columns.pointers().data(), columns.size(), columns.count(),
                             detail::c_title(title));
        return checked();
    }

    // Plots x, y and z columns (and more, for styles that read them) in 3-D.
    Gnuplot &splot_columns(const Columns &columns, const Title &title = std::nullopt) {
        gnuplot_splot_columns(live(), columns.pointers().data(), columns.size(), columns.count(),
                              detail::c_title(title));
        return checked();
    }

    // A heatmap of a grid: grid({values, columns}), grid(rows),
    // grid({x, y, values}) or grid({x, y, rows}).
    Gnuplot &grid(const Grid &grid, const Title &title = std::nullopt) {
        gnuplot_plot_grid(live(), grid.x(), grid.y(), grid.data(), grid.rows(), grid.columns(),
                          detail::c_title(title));
        return checked();
    }

    // The same grids as surfaces coloured by value.
    Gnuplot &splot_grid(const Grid &grid, const Title &title = std::nullopt) {
        gnuplot_splot_grid(live(), grid.x(), grid.y(), grid.data(), grid.rows(), grid.columns(),
                           detail::c_title(title));
        return checked();
    }

    Gnuplot &plot_equation(std::string_view expression, const Title &title = std::nullopt) {
        gnuplot_plot_equation(live(), detail::c_text(expression).c_str(), detail::c_title(title));
        return checked();
    }

    Gnuplot &plot_slope(double a, double b, const Title &title = std::nullopt) {
        gnuplot_plot_slope(live(), a, b, detail::c_title(title));
        return checked();
    }

    // What the curves that follow write after "with", in gnuplot's syntax
    // ("lines lc rgb 'red' lw 2"); "" returns to the style.
    Gnuplot &curve_style(std::string_view with) {
        gnuplot_set_curve_style(live(), detail::c_text(with).c_str());
        return checked();
    }

    // A figure of rows x columns panels: the plots that follow go into the
    // current panel, next_panel() moves on, end_layout() ends the figure.
    Gnuplot &layout(int rows, int columns, const Title &title = std::nullopt) {
        gnuplot_set_layout(live(), rows, columns, detail::c_title(title));
        return checked();
    }

    Gnuplot &next_panel() {
        gnuplot_next_panel(live());
        return checked();
    }

    Gnuplot &end_layout() {
        gnuplot_end_layout(live());
        return checked();
    }

    // x as seconds since 1970-01-01 UTC (time points plot so), its tics in
    // gnuplot's time format ("%H:%M"); std::nullopt returns to numbers.
    Gnuplot &xtime(const std::optional<std::string> &format) {
        gnuplot_set_xtime(live(), detail::c_title(format));
        return checked();
    }

    // One bar per value, its label under it exactly as written; as many
    // labels as values.
    Gnuplot &bars(const Labels &labels, const Values &values, const Title &title = std::nullopt) {
        if (labels.size() != values.size())
            throw Error("chartlink: labels and values differ in length");
        gnuplot_plot_bars(live(), labels.data(), values.data(), values.count(),
                          detail::c_title(title));
        return checked();
    }

    // The finite values counted into bins equal bins, a bar per bin.
    Gnuplot &histogram(const Values &values, int bins, const Title &title = std::nullopt) {
        gnuplot_plot_histogram(live(), values.data(), values.count(), bins, detail::c_title(title));
        return checked();
    }

    // Forgets the plots; the next one starts a new graph.
    Gnuplot &reset() {
        gnuplot_resetplot(live());
        return checked();
    }

    // Waits until gnuplot has carried out everything sent, for at most
    // `limit` (a negative one waits without limit, as in C); throws gnuplot's
    // error, or why it cannot wait.
    void sync(std::chrono::milliseconds limit = no_limit) {
        check_answer(gnuplot_sync(live(), detail::c_limit(limit)));
    }

    // Evaluates an expression in gnuplot after everything sent before, such
    // as "GPVAL_X_MAX" or "STATS_mean", and gives its value exactly; throws
    // gnuplot's error, or why it cannot ask.
    double get_number(std::string_view expression, std::chrono::milliseconds limit = no_limit) {
        double value = 0;
        check_answer(gnuplot_get_number(live(), detail::c_text(expression).c_str(), &value,
                                        detail::c_limit(limit)));
        return value;
    }

    std::string get_text(std::string_view expression, std::chrono::milliseconds limit = no_limit) {
        const char *value = nullptr;
        check_answer(gnuplot_get_text(live(), detail::c_text(expression).c_str(), &value,
                                      detail::c_limit(limit)));
        return value;
    }

    // Writes the graph into file_name, in the format its extension names
    // (.png .svg .pdf .eps .txt), complete on return.
    void save(std::string_view file_name) {
        check_answer(gnuplot_save(live(), detail::c_text(file_name).c_str()));
    }

    // Also reports the keys and buttons named, blank-separated ("a Return
    // Button3"); clicks of button 1 and the close are always reported.
    void listen(std::string_view names) {
        check_answer(gnuplot_listen(live(), detail::c_text(names).c_str()));
    }

    // The window's next click, key or close; nullopt when the limit passes
    // first. Throws when gnuplot has ended.
    std::optional<gnuplot_event> next_event(std::chrono::milliseconds limit = no_limit) {
        gnuplot_event event{};
        if (waited(gnuplot_next_event(live(), &event, detail::c_limit(limit))))
            return event;
        return std::nullopt;
    }

    // True once the user has closed the window (at once when there is none);
    // false when the limit passes first. Throws when gnuplot has ended.
    bool wait_closed(std::chrono::milliseconds limit = no_limit) {
        return waited(gnuplot_wait_closed(live(), detail::c_limit(limit)));
    }

    // The newest frame of the graph's live curve; true when a frame waiting
    // for gnuplot was dropped for it.
    bool plot_live(const Values &x, const Values &y, const Title &title = std::nullopt) {
        const int result = gnuplot_plot_live(live(), x.data(), y.data(), detail::count_of(x, y),
                                             detail::c_title(title));
        checked();
        return result == 1;
    }

private:
    _GNUPLOT_CTRL_ *live() const {
        if (handle_ == nullptr)
            throw Error("chartlink: this Gnuplot was moved from");
        return handle_;
    }

    // After each call: throws why the C layer refused it, or that gnuplot
    // is no longer there to read what was sent.
    Gnuplot &checked() {
        if (gnuplot_last_refused() != 0)
            throw Error(std::string("chartlink: ") + gnuplot_last_message());
        if (gnuplot_is_running(handle_) == 0)
            throw Error("chartlink: gnuplot has ended");
        return *this;
    }

    // 1 is gnuplot's error; -1 comes with the C layer's reason, or with none
    // when a sync with a limit of 0 finds gnuplot still busy.
    void check_answer(int answer) const {
        if (answer == 1)
            throw Error(std::string("gnuplot: ") + gnuplot_last_error(handle_));
        if (answer != 0)
            throw Error(std::string("chartlink: ") + (*gnuplot_last_message() != '\0'
                                                          ? gnuplot_last_message()
                                                          : "gnuplot has not answered yet"));
    }

    // 0: true; -1 quietly (a time limit): false; else throws why the C
    // layer failed.
    static bool waited(int result) {
        if (result != 0 && gnuplot_last_refused() != 0)
            throw Error(std::string("chartlink: ") + gnuplot_last_message());
        return result == 0;
    }

    _GNUPLOT_CTRL_ *handle_;
};

} // namespace chartlink

#endif
