#!/bin/sh
# Builds a C program with chartlink's sources through add_subdirectory; then
# installs chartlink into temporary prefixes, static and shared, and builds a
# C program through pkg-config and a C and a C++ program through find_package
# against each. Runs them all against the fake gnuplot.
# Usage: run.sh <source dir> <fake gnuplot> <C compiler> <C++ compiler>
set -eu
source_dir=$1
c_compiler=$3
cxx_compiler=$4
work=$(mktemp -d /tmp/chartlink_consumer_XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
cp "$2" "$work/bin/gnuplot"
export PATH="$work/bin:$PATH" DISPLAY=:0 FAKE_GNUPLOT_LOG="$work/sent"

fail() {
    echo "consumer test: $*" >&2
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

# Inside another project, chartlink builds no tests or examples of its own.
build_consumer "$work/subdirectory" -DCONSUMER_LANGUAGE=C -DCHARTLINK_SOURCE_DIR="$source_dir"
expect_sent "$work/subdirectory/consumer" 'plot x**2 title "from C" with points'
[ ! -e "$work/subdirectory/chartlink/tests" ] || fail "add_subdirectory built the tests"

for shared in OFF ON; do
    prefix=$work/prefix-$shared
    cmake -S "$source_dir" -B "$work/lib-$shared" -DBUILD_SHARED_LIBS=$shared \
        -DCMAKE_C_COMPILER="$c_compiler" -DCMAKE_CXX_COMPILER="$cxx_compiler" \
        -DCHARTLINK_BUILD_TESTS=OFF -DCHARTLINK_BUILD_EXAMPLES=OFF \
        -DCMAKE_INSTALL_PREFIX="$prefix" >/dev/null
    cmake --build "$work/lib-$shared" -j 2 >/dev/null
    cmake --install "$work/lib-$shared" >/dev/null

    for language in C CXX; do
        build_consumer "$work/$language-$shared" -DCONSUMER_LANGUAGE=$language \
            -DCMAKE_PREFIX_PATH="$prefix"
    done
    expect_sent "$work/CXX-$shared/consumer" 'plot 0.5 * x + 2 title "from C++" with points'
    expect_sent "$work/C-$shared/consumer" 'plot x**2 title "from C" with points'

    pc_dir=$(dirname "$(find "$prefix" -name chartlink.pc)")
    # shellcheck disable=SC2046 # pkg-config prints one word per flag
    "$c_compiler" -std=c99 -Wall -Wextra -Wpedantic -Werror "$source_dir/tests/consumer/consumer.c" \
        $(PKG_CONFIG_PATH=$pc_dir pkg-config --cflags --libs chartlink) \
        -Wl,-rpath,"$(PKG_CONFIG_PATH=$pc_dir pkg-config --variable=libdir chartlink)" \
        -o "$work/c-$shared"
    expect_sent "$work/c-$shared" 'plot x**2 title "from C" with points'
done

library=$(find "$work/prefix-ON" -name 'libchartlink.so.*.*')
readelf -d "$library" | grep -q 'SONAME.*libchartlink\.so\.0' || fail "no SONAME libchartlink.so.0"
others=$(nm -D --defined-only "$library" | awk '{ print $3 }' | grep -v '^gnuplot_' || true)
[ -z "$others" ] || fail "exports more than the C API: $others"
echo "consumers built and ran: add_subdirectory, static and shared installs"
