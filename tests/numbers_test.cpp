#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "internal/numbers.h"
#include "support.h"

namespace {

std::string formatted(double value) {
    char text[plot_control::max_number_length];
    return std::string(text, plot_control::format_number(text, value));
}

// The rule spelled out the slow way (in the C locale): %g if it reads back.
std::string reference(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%g", value);
    if (!std::isfinite(value) || std::strtod(text, nullptr) == value)
        return text;
    return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

} // namespace

TEST(NumberFormat, PrintsLikePercentGWhereThatIsExact) {
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        double value;
        const char *text;
    } cases[] = {
        {0.5, "0.5"},
        {2.0, "2"},
        {-3.25, "-3.25"},
        {0.0, "0"},
        {-0.0, "-0"},
        {100000, "100000"},
        {123456, "123456"},
        {1e6, "1e+06"},
        {1e-05, "1e-05"},
        {1e-07, "1e-07"},
        {1e300, "1e+300"},
        {1234567, "1234567"},
        {1733600000.5, "1733600000.5"},
        {1.0 / 3, "0.3333333333333333"},
        {0.1 * 3, "0.30000000000000004"},
        {5e-324, "4.94066e-324"},
        {std::nan(""), "nan"},
        {inf, "inf"},
        {-inf, "-inf"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(formatted(c.value), c.text);
}

TEST(NumberFormat, AgreesWithTheSlowRuleOnRandomValues) {
    std::mt19937_64 random(20261208);
    std::uniform_int_distribution<int> digits(1, 9);
    std::uniform_int_distribution<int> exponent(-30, 30);
    for (int i = 0; i < 200000; ++i) {
        double value;
        if (i % 2 == 0) { // any bit pattern
            const std::uint64_t bits = random();
            std::memcpy(&value, &bits, sizeof value);
        } else { // a short decimal, where the %g text often is exact
            value = static_cast<double>(std::uniform_int_distribution<long>(1, 10000000)(random)) *
                    std::pow(10.0, exponent(random)) / digits(random);
        }
        if (std::isnan(value)) // its sign is printed, so the reference is unsure
            continue;
        ASSERT_EQ(formatted(value), reference(value)) << value;
    }
}

TEST(NumberFormat, IgnoresTheCallersLocale) {
    test::TempDir locales;
    const std::string build =
        "localedef -i de_DE -f UTF-8 " + locales.path() + "/de_DE.UTF-8 >/dev/null 2>&1";
    if (std::system(build.c_str()) != 0)
        GTEST_SKIP() << "cannot build a locale with a decimal comma";
    const int status = test::run_in_child([&] {
        setenv("LOCPATH", locales.path().c_str(), 1);
        if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr)
            return 2;
        char comma[16];
        std::snprintf(comma, sizeof comma, "%g", 0.5);
        return std::string(comma) == "0,5" && formatted(0.5) == "0.5" &&
                       formatted(1.0 / 3) == "0.3333333333333333"
                   ? 0
                   : 1;
    });
    EXPECT_EQ(status, 0);
}
