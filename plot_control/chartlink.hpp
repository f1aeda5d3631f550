// chartlink for C++17: one object that owns a gnuplot process, takes
// containers, and throws chartlink::Error where the C API writes a message.
//
//   chartlink::Gnuplot plot;                       // starts gnuplot, or throws
//   plot.style("lines").xlabel("t").plot(samples, "data").save("data.png");
//                                                  // closed when plot goes
//
// Everything here is inline over the C API in chartlink.h; handle() gives
// the C handle for anything this layer does not wrap. The C layer's
// messages still go to standard error; the exception says why as well. Like
// a C handle, one Gnuplot object is used by one thread at a time.
#ifndef CHARTLINK_HPP
#define CHARTLINK_HPP

#include <algorithm>
#include <array>
#include <chrono>
#include <climits>
#if __has_include(<concepts>)
#include <concepts>
#endif
#include <cstddef>
#include <initializer_list>
#include <iterator>
#include <optional>
#if __has_include(<ranges>)
#include <ranges>
#endif
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include <poll.h>

#include "chartlink.h"

namespace chartlink {

// What every failure of this layer throws.
class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A curve's title; std::nullopt means what a null title means in C.
using Title = std::optional<std::string>;

namespace detail {

// Numbers, but not characters: a string is a title, never data.
template <class T>
constexpr bool is_number =
    std::is_arithmetic_v<T> && !std::is_same_v<T, bool> && !std::is_same_v<T, char> &&
    !std::is_same_v<T, wchar_t> && !std::is_same_v<T, char16_t> && !std::is_same_v<T, char32_t>;

template <class T> using Plain = std::remove_cv_t<std::remove_reference_t<T>>;

template <class Range> using IteratorOf = decltype(std::begin(std::declval<const Range &>()));

template <class Range>
using ElementOf =
    std::remove_cv_t<std::remove_reference_t<decltype(*std::declval<IteratorOf<Range>>())>>;

// Ranges whose elements are known to lie side by side in memory, so that
// data() may be read as an array: others (a matrix row with a stride, say)
// are read element by element.
#if defined(__cpp_lib_concepts)
template <class Range>
struct is_contiguous : std::bool_constant<std::contiguous_iterator<IteratorOf<Range>>> {};
#else
template <class Range> struct is_contiguous : std::is_pointer<IteratorOf<Range>> {};
#endif
template <class T, class A> struct is_contiguous<std::vector<T, A>> : std::true_type {};
template <class T, std::size_t N> struct is_contiguous<std::array<T, N>> : std::true_type {};

// Ranges whose elements outlive the range object: a named range, or a view
// such as std::span.
#if defined(__cpp_lib_ranges)
template <class Range>
constexpr bool is_borrowed =
    std::is_lvalue_reference_v<Range> || std::ranges::borrowed_range<Range>;
#else
template <class Range> constexpr bool is_borrowed = std::is_lvalue_reference_v<Range>;
#endif

template <class Range, class = void> constexpr bool is_number_range = false;
template <class Range>
constexpr bool is_number_range<Range, std::void_t<ElementOf<Range>>> = is_number<ElementOf<Range>>;

} // namespace detail

// Any range of numbers (std::vector, std::array, a C array, anything with
// begin() and end()) seen as doubles: a named contiguous range of doubles
// (or a std::span of them) is read where it lies, so keep it alive and
// unchanged while this lives; a temporary std::vector<double> is moved in;
// any other range is a converted copy, so nothing here outlives a temporary.
class Values {
public:
    template <class Range, std::enable_if_t<detail::is_number_range<detail::Plain<Range>>, int> = 0>
    Values(Range &&range) { // NOLINT: implicit
        using Element = detail::ElementOf<detail::Plain<Range>>;
        if constexpr (std::is_same_v<detail::Plain<Range>, std::vector<double>> &&
                      !std::is_lvalue_reference_v<Range>) {
            copy_ = std::move(range);
        } else if constexpr (detail::is_borrowed<Range> &&
                             detail::is_contiguous<detail::Plain<Range>>::value &&
                             std::is_same_v<Element, double>) {
            view_size_ =
                static_cast<std::size_t>(std::distance(std::begin(range), std::end(range)));
            view_ = view_size_ == 0 ? nullptr : &*std::begin(range);
        } else {
            for (const auto &value : range)
                copy_.push_back(static_cast<double>(value));
        }
    }

    const double *data() const { return view_ != nullptr ? view_ : copy_.data(); }
    std::size_t size() const { return view_ != nullptr ? view_size_ : copy_.size(); }

private:
    const double *view_ = nullptr;
    std::size_t view_size_ = 0;
    std::vector<double> copy_;
};

// A grid of values, row by row, for heatmaps and surfaces: a flat
// row-major range with its number of columns, or nested rows of equal
// length (std::vector<std::vector<double>>, say). It holds its values as a
// Values does.
class Grid {
public:
    Grid(Values flat, std::size_t columns)
        : values_(std::move(flat)), rows_(columns == 0 ? 0 : values_.size() / columns),
          columns_(columns) {
        if (columns == 0 ? values_.size() != 0 : values_.size() % columns != 0)
            throw Error("chartlink: the values do not fill whole rows");
    }

    template <class Rows,
              std::enable_if_t<detail::is_number_range<detail::ElementOf<Rows>>, int> = 0>
    Grid(const Rows &rows) : values_(std::vector<double>()) { // NOLINT: implicit
        std::vector<double> flat;
        for (const auto &row : rows) {
            const Values values(row);
            if (rows_++ > 0 && values.size() != columns_)
                throw Error("chartlink: rows differ in length");
            columns_ = values.size();
            flat.insert(flat.end(), values.data(), values.data() + values.size());
        }
        values_ = std::move(flat);
    }

    const double *data() const { return values_.data(); }
    std::size_t rows() const { return rows_; }
    std::size_t columns() const { return columns_; }

private:
    Values values_;
    std::size_t rows_ = 0, columns_ = 0;
};

class Gnuplot {
public:
    // Starts gnuplot; throws Error when it cannot be found or started.
    Gnuplot() : handle_(gnuplot_init()) {
        if (handle_ == nullptr)
            throw Error("chartlink: cannot start gnuplot (is it installed and on PATH?)");
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
        const std::string text = c_text(line);
        gnuplot_cmd(live(), "%s", text.c_str());
        return sent_if(fits(text.size()));
    }

    // Unknown names warn on standard error and give "points", as in C.
    Gnuplot &style(std::string_view name) {
        gnuplot_setstyle(live(), c_text(name).c_str());
        return *this;
    }

    Gnuplot &xlabel(std::string_view text) { return label(gnuplot_set_xlabel, text); }
    Gnuplot &ylabel(std::string_view text) { return label(gnuplot_set_ylabel, text); }

    // Plots values against their index. An empty range plots nothing.
    Gnuplot &plot(const Values &values, const Title &title = std::nullopt) {
        return plot_counted(
            [&] { gnuplot_plot_x(live(), values.data(), count_of(values.size()), c_title(title)); },
            values.size());
    }

    // Plots x/y pairs; x and y must be as long as each other.
    Gnuplot &plot(const Values &x, const Values &y, const Title &title = std::nullopt) {
        if (x.size() != y.size())
            throw Error("chartlink: x and y differ in length");
        return plot_counted(
            [&] {
                gnuplot_plot_xy(live(), x.data(), y.data(), count_of(x.size()), c_title(title));
            },
            x.size());
    }

    // Plots x/y pairs as lines, sending only the points that can change a
    // pixel of the graph (see gnuplot_plot_xy_reduced()): for millions of
    // points. x and y must be as long as each other.
    Gnuplot &plot_reduced(const Values &x, const Values &y, const Title &title = std::nullopt) {
        if (x.size() != y.size())
            throw Error("chartlink: x and y differ in length");
        return plot_counted(
            [&] {
                gnuplot_plot_xy_reduced(live(), x.data(), y.data(), count_of(x.size()),
                                        c_title(title));
            },
            x.size());
    }

    // Plots columns of equal length as raw doubles, such as x, y and an
    // error for style "errorbars": plot_columns({x, y, error}, "title").
    Gnuplot &plot_columns(std::initializer_list<Values> columns,
                          const Title &title = std::nullopt) {
        return columns_plot(gnuplot_plot_columns, columns, title);
    }

    // Plots x, y and z columns (and more, for styles that read them) in 3-D.
    Gnuplot &splot_columns(std::initializer_list<Values> columns,
                           const Title &title = std::nullopt) {
        return columns_plot(gnuplot_splot_columns, columns, title);
    }

    // A heatmap of a grid: row-major values with their number of columns,
    // or nested rows; x and y, when given, as long as a row and a column.
    Gnuplot &grid(Values values, std::size_t columns, const Title &title = std::nullopt) {
        return grid_plot(gnuplot_plot_grid, nullptr, nullptr, Grid(std::move(values), columns),
                         title);
    }
    Gnuplot &grid(const Values &x, const Values &y, Values values,
                  const Title &title = std::nullopt) {
        return grid_plot(gnuplot_plot_grid, &x, &y, laid_out(x, y, std::move(values)), title);
    }
    Gnuplot &grid(const Grid &rows, const Title &title = std::nullopt) {
        return grid_plot(gnuplot_plot_grid, nullptr, nullptr, rows, title);
    }
    Gnuplot &grid(const Values &x, const Values &y, const Grid &rows,
                  const Title &title = std::nullopt) {
        return grid_plot(gnuplot_plot_grid, &x, &y, rows, title);
    }

    // The same grids as surfaces coloured by value.
    Gnuplot &splot_grid(Values values, std::size_t columns, const Title &title = std::nullopt) {
        return grid_plot(gnuplot_splot_grid, nullptr, nullptr, Grid(std::move(values), columns),
                         title);
    }
    Gnuplot &splot_grid(const Values &x, const Values &y, Values values,
                        const Title &title = std::nullopt) {
        return grid_plot(gnuplot_splot_grid, &x, &y, laid_out(x, y, std::move(values)), title);
    }
    Gnuplot &splot_grid(const Grid &rows, const Title &title = std::nullopt) {
        return grid_plot(gnuplot_splot_grid, nullptr, nullptr, rows, title);
    }
    Gnuplot &splot_grid(const Values &x, const Values &y, const Grid &rows,
                        const Title &title = std::nullopt) {
        return grid_plot(gnuplot_splot_grid, &x, &y, rows, title);
    }

    Gnuplot &plot_equation(std::string_view expression, const Title &title = std::nullopt) {
        const std::string text = c_text(expression);
        return plot_counted([&] { gnuplot_plot_equation(live(), text.c_str(), c_title(title)); });
    }

    Gnuplot &plot_slope(double a, double b, const Title &title = std::nullopt) {
        return plot_counted([&] { gnuplot_plot_slope(live(), a, b, c_title(title)); });
    }

    // Forgets the plots; the next one starts a new graph.
    Gnuplot &reset() {
        gnuplot_resetplot(live());
        return *this;
    }

    // Waits until gnuplot has carried out everything sent, without limit or
    // for at most `limit`; throws gnuplot's error, or why it cannot wait.
    // A negative limit waits without one, as in C.
    void sync() { check_answer(gnuplot_sync(live(), -1)); }
    void sync(std::chrono::milliseconds limit) {
        check_answer(gnuplot_sync(live(), c_limit(limit)));
    }

    // Evaluates an expression in gnuplot after everything sent before, such
    // as "GPVAL_X_MAX" or "STATS_mean", and gives its value exactly; throws
    // gnuplot's error, or why it cannot ask.
    double get_number(std::string_view expression) { return number(expression, -1); }
    double get_number(std::string_view expression, std::chrono::milliseconds limit) {
        return number(expression, c_limit(limit));
    }
    std::string get_text(std::string_view expression) { return text(expression, -1); }
    std::string get_text(std::string_view expression, std::chrono::milliseconds limit) {
        return text(expression, c_limit(limit));
    }

    // Writes the graph into file_name, in the format its extension names
    // (.png .svg .pdf .eps .txt), complete on return.
    void save(std::string_view file_name) {
        const std::string name = c_text(file_name);
        check_answer(gnuplot_save(live(), name.c_str()));
    }

    // Windows (see gnuplot_listen() and the calls after it in chartlink.h).
    // Reports the keys and buttons named, blank-separated ("a Return Button3").
    void listen(std::string_view names) {
        check_answer(gnuplot_listen(live(), c_text(names).c_str()));
    }

    // The window's next click, key or close; nullopt when the limit passes
    // first (none: no limit). Throws when gnuplot has ended.
    std::optional<gnuplot_event>
    next_event(std::chrono::milliseconds limit = std::chrono::milliseconds(-1)) {
        gnuplot_event event{};
        if (waited(gnuplot_next_event(live(), &event, c_limit(limit))))
            return event;
        return std::nullopt;
    }

    // True once the user has closed the window (at once when there is
    // none); false when the limit passes first. Throws when gnuplot has ended.
    bool wait_closed(std::chrono::milliseconds limit = std::chrono::milliseconds(-1)) {
        return waited(gnuplot_wait_closed(live(), c_limit(limit)));
    }

    // The newest frame of the graph's live curve; true when a frame that
    // waited for gnuplot was dropped for it.
    bool plot_live(const Values &x, const Values &y, const Title &title = std::nullopt) {
        if (x.size() != y.size())
            throw Error("chartlink: x and y differ in length");
        const int result =
            gnuplot_plot_live(live(), x.data(), y.data(), count_of(x.size()), c_title(title));
        if (result < 0 && x.size() > 0)
            check_answer(result);
        return result == 1;
    }

private:
    _GNUPLOT_CTRL_ *live() const {
        if (handle_ == nullptr)
            throw Error("chartlink: this Gnuplot was moved from");
        return handle_;
    }

    static std::string c_text(std::string_view text) {
        if (text.find('\0') != std::string_view::npos)
            throw Error("chartlink: text holds a NUL byte");
        return std::string(text);
    }

    static const char *c_title(const Title &title) { return title ? title->c_str() : nullptr; }

    static int c_limit(std::chrono::milliseconds limit) {
        return limit.count() < 0 ? -1
                                 : static_cast<int>(std::min<std::chrono::milliseconds::rep>(
                                       limit.count(), INT_MAX));
    }

    double number(std::string_view expression, int timeout_ms) {
        double value = 0;
        check_answer(gnuplot_get_number(live(), c_text(expression).c_str(), &value, timeout_ms));
        return value;
    }

    std::string text(std::string_view expression, int timeout_ms) {
        const char *value = nullptr;
        check_answer(gnuplot_get_text(live(), c_text(expression).c_str(), &value, timeout_ms));
        return value;
    }

    static bool fits(std::size_t length) { return length <= CHARTLINK_MAX_COMMAND_LENGTH; }

    static int count_of(std::size_t size) {
        if (size > static_cast<std::size_t>(INT_MAX))
            throw Error("chartlink: too many values for one plot");
        return static_cast<int>(size);
    }

    bool gnuplot_ended() const {
        pollfd pipe{fileno(handle_->command_stream), 0, 0};
        return poll(&pipe, 1, 0) == 1 && (pipe.revents & (POLLERR | POLLHUP)) != 0;
    }

    // After a call the C layer may have refused: throws when gnuplot is no
    // longer there to read the line, or when the call was refused.
    Gnuplot &sent_if(bool accepted) {
        if (gnuplot_ended())
            throw Error("chartlink: gnuplot has ended");
        if (!accepted)
            throw Error("chartlink: refused (see standard error)");
        return *this;
    }

    template <class SetLabel> Gnuplot &label(SetLabel set_label, std::string_view text) {
        const std::string label_text = c_text(text);
        set_label(live(), label_text.c_str());
        const std::size_t frame = std::string_view("set xlabel \"\"").size();
        return sent_if(label_text.find('\n') == std::string::npos &&
                       fits(frame + label_text.size()));
    }

    // Runs a plot; it was refused when it did not count. An empty range
    // plots nothing, as in C.
    template <class Plot> Gnuplot &plot_counted(Plot plot, std::size_t values = 1) {
        const int before = live()->plot_count;
        if (values == 0)
            return *this;
        plot();
        return sent_if(handle_->plot_count != before || before == INT_MAX);
    }

    using ColumnsPlot = void (*)(_GNUPLOT_CTRL_ *, const double *const[], int, int, const char *);
    using GridPlot = void (*)(_GNUPLOT_CTRL_ *, const double *, const double *, const double *, int,
                              int, const char *);

    Gnuplot &columns_plot(ColumnsPlot c_plot, std::initializer_list<Values> columns,
                          const Title &title) {
        std::vector<const double *> pointers;
        for (const Values &column : columns) {
            if (column.size() != columns.begin()->size())
                throw Error("chartlink: columns differ in length");
            pointers.push_back(column.data());
        }
        const std::size_t count = columns.size() == 0 ? 0 : columns.begin()->size();
        return plot_counted(
            [&] {
                c_plot(live(), pointers.data(), static_cast<int>(pointers.size()), count_of(count),
                       c_title(title));
            },
            count);
    }

    // Flat values laid out by x and y: the coordinates' lengths, not the
    // values, tell the shape.
    static Grid laid_out(const Values &x, const Values &y, Values values) {
        const std::size_t count = values.size();
        if (x.size() == 0 ? count != 0 : count % x.size() != 0 || count / x.size() != y.size())
            throw Error("chartlink: x and y differ from the grid in length");
        return Grid(std::move(values), x.size());
    }

    Gnuplot &grid_plot(GridPlot c_plot, const Values *x, const Values *y, const Grid &grid,
                       const Title &title) {
        if ((x != nullptr && x->size() != grid.columns()) ||
            (y != nullptr && y->size() != grid.rows()))
            throw Error("chartlink: x and y differ from the grid in length");
        return plot_counted(
            [&] {
                c_plot(live(), x != nullptr ? x->data() : nullptr,
                       y != nullptr ? y->data() : nullptr, grid.data(), count_of(grid.rows()),
                       count_of(grid.columns()), c_title(title));
            },
            grid.rows() * grid.columns());
    }

    // 1 is gnuplot's error; -1 comes with the C layer's reason, or with none
    // when a sync with a limit of 0 finds gnuplot still busy.
    void check_answer(int answer) {
        if (answer == 1)
            throw Error(std::string("gnuplot: ") + gnuplot_last_error(handle_));
        if (answer != 0)
            throw Error(std::string("chartlink: ") + (*gnuplot_last_message() != '\0'
                                                          ? gnuplot_last_message()
                                                          : "gnuplot has not answered yet"));
    }

    // 0: true; -1 after a time limit (no message): false; else throws.
    static bool waited(int result) {
        if (result != 0 && gnuplot_last_refused() != 0)
            throw Error(std::string("chartlink: ") + gnuplot_last_message());
        return result == 0;
    }

    _GNUPLOT_CTRL_ *handle_;
};

} // namespace chartlink

#endif
