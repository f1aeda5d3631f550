#!/bin/sh
# Builds a C program with chartlink's sources through add_subdirectory, and
# the demo in a tree configured as if no test tools were installed; then
# installs chartlink into temporary prefixes, static and shared, and builds
# C and C++ programs through find_package and pkg-config against each (C++17
# against the static one, C++20 against the shared one). Runs them all
# against the fake gnuplot.
# Usage: run.sh <source dir> <fake gnuplot> <C compiler> <C++ compiler>
set -eu
test_name="consumer test"
source_dir=$1
c_compiler=$3
cxx_compiler=$4
# shellcheck source=SCRIPTDIR/common.sh
. "$source_dir/tests/consumer/common.sh"
use_fake_gnuplot "$2"

# Inside another project, chartlink builds no tests or examples of its own.
build_consumer "$work/subdirectory" -DCONSUMER_LANGUAGE=C -DCHARTLINK_SOURCE_DIR="$source_dir"
expect_sent "$work/subdirectory/consumer" "$c_sent"
[ ! -e "$work/subdirectory/chartlink/tests" ] || fail "add_subdirectory built the tests"

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
    consumers_against "$shared" "$prefix" "$(dirname "$(find "$prefix" -name chartlink.pc)")" \
        "$([ $shared = ON ] && echo 20 || echo 17)"
done

check_shared_library "$(find "$work/prefix-ON" -name 'libchartlink.so.*.*')"
echo "consumers built and ran: add_subdirectory, the demo, static and shared installs"
