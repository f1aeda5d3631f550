# Sourced by run.sh and by the package test: a scratch directory ($work,
# removed on exit), and the builds of consumer.c and consumer.cpp against an
# installed chartlink, run against the fake gnuplot.
# Set before sourcing: test_name, source_dir, c_compiler, cxx_compiler.
# shellcheck shell=sh disable=SC2154 # those four
work=$(mktemp -d /tmp/chartlink_consumer_XXXXXX)
trap 'rm -rf "$work"' EXIT

use_fake_gnuplot() { # use_fake_gnuplot <fake gnuplot>: first on PATH from now on
    mkdir "$work/bin"
    cp "$1" "$work/bin/gnuplot"
    export PATH="$work/bin:$PATH" DISPLAY=:0 FAKE_GNUPLOT_LOG="$work/sent"
}

c_sent='plot x**2 title "from C" with points'
cxx_sent='plot 0.5 * x + 2 title "from C++" with points'

fail() {
    echo "$test_name: $*" >&2
    exit 1
}

expect_sent() {
    : >"$work/sent"
    "$1" || fail "$1 failed"
    [ "$(cat "$work/sent")" = "$2" ] || fail "$1 sent: $(cat "$work/sent")"
}

build_consumer() { # build_consumer <build dir> <cmake options...>
    build=$1
    shift
    cmake --no-warn-unused-cli -S "$source_dir/tests/consumer" -B "$build" "$@" \
        -DCMAKE_C_COMPILER="$c_compiler" -DCMAKE_CXX_COMPILER="$cxx_compiler" >/dev/null
    cmake --build "$build" >/dev/null
}

# pkg_config_build <compiler> <standard> <source> <expected line> <pkg-config dir>
pkg_config_build() {
    libdir=$(PKG_CONFIG_PATH=$5 pkg-config --variable=libdir chartlink)
    # shellcheck disable=SC2046 # pkg-config prints one word per flag
    "$1" "$2" -Wall -Wextra -Wpedantic -Werror "$source_dir/tests/consumer/$3" \
        $(PKG_CONFIG_PATH=$5 pkg-config --cflags --libs chartlink) \
        -Wl,-rpath,"$libdir" -o "$work/pkg-config-consumer"
    expect_sent "$work/pkg-config-consumer" "$4"
}

# Both consumers through find_package and through pkg-config.
# consumers_against <name> <CMake prefix> <pkg-config dir> <C++ standard>
consumers_against() {
    for language in C CXX; do
        build_consumer "$work/$language-$1" -DCONSUMER_LANGUAGE=$language \
            -DCONSUMER_CXX_STANDARD="$4" -DCMAKE_PREFIX_PATH="$2"
    done
    expect_sent "$work/CXX-$1/consumer" "$cxx_sent"
    expect_sent "$work/C-$1/consumer" "$c_sent"
    pkg_config_build "$c_compiler" -std=c99 consumer.c "$c_sent" "$3"
    pkg_config_build "$cxx_compiler" -std=c++"$4" consumer.cpp "$cxx_sent" "$3"
}

check_shared_library() { # check_shared_library <libchartlink.so.x.y.z>
    readelf -d "$1" | grep -q 'SONAME.*libchartlink\.so\.0' || fail "no SONAME libchartlink.so.0"
    others=$(nm -D --defined-only "$1" | awk '{ print $3 }' | grep -v '^gnuplot_' || true)
    [ -z "$others" ] || fail "exports more than the C API: $others"
}
