#include <chartlink.hpp>

int main() {
    try {
        chartlink::Gnuplot plot;
        plot.plot_slope(0.5, 2, "from C++");
    } catch (const chartlink::Error &) {
        return 1;
    }
    return 0;
}
