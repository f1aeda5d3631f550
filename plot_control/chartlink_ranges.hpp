// How chartlink.hpp's arguments become the C API's: ranges of numbers as
// arrays of doubles (Values), several ranges as columns (Columns), grids
// (Grid), and texts as C strings. The only checks here are those C++ alone
// can make, where the C API takes one count or one C string: ranges of
// unequal lengths, a count beyond INT_MAX, a NUL byte inside a text.
// Everything else is the C layer's to refuse.
#ifndef CHARTLINK_RANGES_HPP
#define CHARTLINK_RANGES_HPP

#include <array>
#include <chrono>
#include <climits>
#if __has_include(<concepts>)
#include <concepts>
#endif
#include <cstddef>
#include <iterator>
#include <optional>
#if __has_include(<ranges>)
#include <ranges>
#endif
#include <stdexcept>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

namespace chartlink {

// What every failure of the C++ layer throws: "chartlink: <why>", or
// "gnuplot: <gnuplot's error>".
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

// Points in time on the system clock: plotted as seconds since the epoch.
template <class T> constexpr bool is_time_point = false;
template <class Duration>
constexpr bool is_time_point<std::chrono::time_point<std::chrono::system_clock, Duration>> = true;

// What a Values holds an element as: whole seconds and their fraction apart,
// so that 1700000000.25 s, held in nanoseconds, stays that double.
template <class T> double as_double(const T &value) {
    if constexpr (is_time_point<T>) {
        const auto since = value.time_since_epoch();
        const auto whole = std::chrono::floor<std::chrono::seconds>(since);
        return static_cast<double>(whole.count()) +
               std::chrono::duration<double>(since - whole).count();
    } else {
        return static_cast<double>(value);
    }
}

template <class T> constexpr bool is_plottable = is_number<T> || is_time_point<T>;

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
constexpr bool is_number_range<Range, std::void_t<ElementOf<Range>>> =
    is_plottable<ElementOf<Range>>;

// A row held as a std::pair, std::tuple or std::array of numbers or times.
template <class Row, std::size_t... I> constexpr bool row_of_numbers(std::index_sequence<I...>) {
    return sizeof...(I) > 0 && (is_plottable<Plain<std::tuple_element_t<I, Row>>> && ...);
}
template <class Row, class = void> constexpr bool is_row = false;
template <class Row>
constexpr bool is_row<Row, std::void_t<decltype(std::tuple_size<Row>::value)>> =
    row_of_numbers<Row>(std::make_index_sequence<std::tuple_size<Row>::value>{});

template <class Range, class = void> constexpr bool is_row_range = false;
template <class Range>
constexpr bool is_row_range<Range, std::void_t<ElementOf<Range>>> = is_row<ElementOf<Range>>;

// Texts a C string can carry: std::string, std::string_view, const char *
// (null: empty).
template <class T> constexpr bool is_text = std::is_convertible_v<const T &, std::string_view>;
template <class Range, class = void> constexpr bool is_text_range = false;
template <class Range>
constexpr bool is_text_range<Range, std::void_t<ElementOf<Range>>> = is_text<ElementOf<Range>>;

// The C API counts values in an int.
inline int count_of(std::size_t size) {
    if (size > static_cast<std::size_t>(INT_MAX))
        throw Error("chartlink: too many values for one plot");
    return static_cast<int>(size);
}

// A C string ends at its first NUL: a text holding one would arrive cut.
inline std::string c_text(std::string_view text) {
    if (text.find('\0') != std::string_view::npos)
        throw Error("chartlink: text holds a NUL byte");
    return std::string(text);
}

inline const char *c_title(const Title &title) {
    if (!title)
        return nullptr;
    if (title->find('\0') != std::string::npos)
        throw Error("chartlink: text holds a NUL byte");
    return title->c_str();
}

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
                copy_.push_back(detail::as_double(value));
        }
    }

    const double *data() const { return view_ != nullptr ? view_ : copy_.data(); }
    std::size_t size() const { return view_ != nullptr ? view_size_ : copy_.size(); }
    int count() const { return detail::count_of(size()); }

private:
    const double *view_ = nullptr;
    std::size_t view_size_ = 0;
    std::vector<double> copy_;
};

namespace detail {

// x and y go to the C API with one count.
inline int count_of(const Values &x, const Values &y) {
    if (x.size() != y.size())
        throw Error("chartlink: x and y differ in length");
    return x.count();
}

template <class T>
constexpr bool is_column = is_number_range<Plain<T>> || std::is_same_v<Plain<T>, Values>;

} // namespace detail

// Columns of equal length, such as x, y and an error: {x, y, error}. Each
// column is held as a Values is.
class Columns {
public:
    template <class... Ranges, std::enable_if_t<(detail::is_column<Ranges> && ...), int> = 0>
    Columns(Ranges &&...columns) { // NOLINT: implicit
        columns_.reserve(sizeof...(columns));
        (columns_.emplace_back(std::forward<Ranges>(columns)), ...);
        for (const Values &column : columns_)
            if (column.size() != columns_.front().size())
                throw Error("chartlink: columns differ in length");
    }

    // Rows as they are held, a std::pair, std::tuple or std::array each:
    // their first elements the first column, and so on.
    template <class Rows, std::enable_if_t<detail::is_row_range<Rows>, int> = 0>
    Columns(const Rows &rows) { // NOLINT: implicit
        using Row = detail::ElementOf<Rows>;
        constexpr std::size_t width = std::tuple_size<Row>::value;
        std::array<std::vector<double>, width> split;
        for (const auto &row : rows)
            append(split, row, std::make_index_sequence<width>{});
        for (std::vector<double> &column : split)
            columns_.emplace_back(std::move(column));
    }

    // Where each column's values lie, as the C API takes them.
    std::vector<const double *> pointers() const {
        std::vector<const double *> firsts;
        for (const Values &column : columns_)
            firsts.push_back(column.data());
        return firsts;
    }
    int size() const { return static_cast<int>(columns_.size()); }
    int count() const { return columns_.empty() ? 0 : columns_.front().count(); }

private:
    template <class Split, class Row, std::size_t... I>
    static void append(Split &split, const Row &row, std::index_sequence<I...>) {
        (split[I].push_back(detail::as_double(std::get<I>(row))), ...);
    }

    std::vector<Values> columns_;
};

// Bar labels: any range of std::string, std::string_view or const char *,
// copied as C strings.
class Labels {
public:
    template <class Range, std::enable_if_t<detail::is_text_range<Range>, int> = 0>
    Labels(const Range &labels) { // NOLINT: implicit
        for (const auto &label : labels) {
            if constexpr (std::is_pointer_v<detail::ElementOf<Range>>)
                texts_.push_back(label != nullptr ? detail::c_text(label) : std::string());
            else
                texts_.push_back(detail::c_text(label));
        }
        for (const std::string &text : texts_)
            pointers_.push_back(text.c_str());
    }

    const char *const *data() const { return pointers_.data(); }
    std::size_t size() const { return texts_.size(); }

private:
    std::vector<std::string> texts_;
    std::vector<const char *> pointers_;
};

// A grid of values, row by row, for heatmaps and surfaces: {values,
// columns} for a flat row-major range, nested rows of equal length (a
// std::vector<std::vector<double>>, say), and either with the coordinates
// in front, {x, y, values} or {x, y, rows}: x as long as a row, y as a
// column. Without them a cell stands at its column and row numbers. It
// holds its ranges as a Values does.
class Grid {
public:
    Grid(Values flat, std::size_t columns)
        : values_(std::move(flat)), rows_(columns == 0 ? 0 : values_.size() / columns),
          columns_(columns) {
        if (!filled())
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

    // Flat values laid out by x and y: the coordinates, not the values, tell the shape.
    Grid(Values x, Values y, Values flat)
        : values_(std::move(flat)), rows_(y.size()), columns_(x.size()) {
        if (!filled())
            throw Error("chartlink: x and y differ from the grid in length");
        place(std::move(x), std::move(y));
    }

    Grid(Values x, Values y, Grid grid) : Grid(std::move(grid)) {
        if (x.size() != columns_ || y.size() != rows_)
            throw Error("chartlink: x and y differ from the grid in length");
        place(std::move(x), std::move(y));
    }

    // Null for coordinates not given.
    const double *x() const { return x_ ? x_->data() : nullptr; }
    const double *y() const { return y_ ? y_->data() : nullptr; }
    const double *data() const { return values_.data(); }
    int rows() const { return detail::count_of(rows_); }
    int columns() const { return detail::count_of(columns_); }

private:
    bool filled() const {
        const std::size_t count = values_.size();
        return columns_ == 0 ? count == 0 : count % columns_ == 0 && count / columns_ == rows_;
    }

    void place(Values x, Values y) {
        x_.emplace(std::move(x));
        y_.emplace(std::move(y));
    }

    Values values_;
    std::optional<Values> x_, y_;
    std::size_t rows_ = 0, columns_ = 0;
};

} // namespace chartlink

#endif
