#!/bin/sh
# Builds a C program with chartlink's sources through add_subdirectory, and
# the demo in a tree configured as if no test tools were installed; then
# installs chartlink into temporary prefixes, static and shared, and builds
# C and C++ programs through find_package and pkg-config against each (C++17
# against the static one, C++20 against the shared one). Runs them all
# against the fake gnuplot.
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

pkg_config_build() { # <compiler> <standard> <source> <expected line>, with $pc_dir
    libdir=$(PKG_CONFIG_PATH=$pc_dir pkg-config --variable=libdir chartlink)
    # shellcheck disable=SC2046 # pkg-config prints one word per flag
    "$1" "$2" -Wall -Wextra -Wpedantic -Werror "$source_dir/tests/consumer/$3" \
        $(PKG_CONFIG_PATH=$pc_dir pkg-config --cflags --libs chartlink) \
        -Wl,-rpath,"$libdir" -o "$work/pkg-config-consumer"
    expect_sent "$work/pkg-config-consumer" "$4"
}

# The demo, as `make demo` builds it: no test tools needed, none built.
cmake -S "$source_dir" -B "$work/demo" -DCHARTLINK_BUILD_TESTS=OFF \
    -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON \
    -DCMAKE_C_COMPILER="$c_compiler" -DCMAKE_CXX_COMPILER="$cxx_compiler" >/dev/null
cmake --build "$work/demo" -j 2 --target sine_demo >/dev/null
(cd "$work" && expect_sent "$work/demo/sine_demo" 'set terminal png
set output "sine.png"
plot sin(x) title "Sine wave" with points')

for shared in OFF ON; do
    prefix=$work/prefix-$shared
    cmake -S "$source_dir" -B "$work/lib-$shared" -DBUILD_SHARED_LIBS=$shared \
        -DCMAKE_C_COMPILER="$c_compiler" -DCMAKE_CXX_COMPILER="$cxx_compiler" \
        -DCHARTLINK_BUILD_TESTS=OFF -DCHARTLINK_BUILD_EXAMPLES=OFF \
        -DCMAKE_INSTALL_PREFIX="$prefix" >/dev/null
    cmake --build "$work/lib-$shared" -j 2 >/dev/null
    cmake --install "$work/lib-$shared" >/dev/null
    standard=$([ $shared = ON ] && echo 20 || echo 17)

    for language in C CXX; do
        build_consumer "$work/$language-$shared" -DCONSUMER_LANGUAGE=$language \
            -DCONSUMER_CXX_STANDARD=$standard -DCMAKE_PREFIX_PATH="$prefix"
    done
    expect_sent "$work/CXX-$shared/consumer" 'plot 0.5 * x + 2 title "from C++" with points'
    expect_sent "$work/C-$shared/consumer" 'plot x**2 title "from C" with points'

    pc_dir=$(dirname "$(find "$prefix" -name chartlink.pc)")
    pkg_config_build "$c_compiler" -std=c99 consumer.c 'plot x**2 title "from C" with points'
    pkg_config_build "$cxx_compiler" -std=c++$standard consumer.cpp \
        'plot 0.5 * x + 2 title "from C++" with points'
done

library=$(find "$work/prefix-ON" -name 'libchartlink.so.*.*')
readelf -d "$library" | grep -q 'SONAME.*libchartlink\.so\.0' || fail "no SONAME libchartlink.so.0"
others=$(nm -D --defined-only "$library" | awk '{ print $3 }' | grep -v '^gnuplot_' || true)
[ -z "$others" ] || fail "exports more than the C API: $others"
echo "consumers built and ran: add_subdirectory, the demo, static and shared installs"
