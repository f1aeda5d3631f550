#!/bin/sh
# Installs, through apt-get, what `make demo` (argument "demo"), `make test`
# ("test") or `make bench` ("bench") needs and the machine lacks. Each needs
# what the one before it needs.
set -eu

missing=""
need() { # need <package> <test command...>
    package=$1
    shift
    "$@" >/dev/null 2>&1 || missing="$missing $package"
}

need gnuplot-nox command -v gnuplot
need cmake command -v cmake
need g++ command -v g++
need make command -v make
case ${1:-demo} in
test | bench)
    need libgtest-dev test -f /usr/include/gtest/gtest.h
    need libpng-dev test -f /usr/include/png.h
    need clang command -v clang++
    need pkg-config command -v pkg-config
    need clang-format command -v clang-format
    ;;
esac
if [ "${1:-demo}" = bench ]; then
    need libbenchmark-dev test -f /usr/include/benchmark/benchmark.h
fi

[ -z "$missing" ] && exit 0

if [ "$(id -u)" = 0 ]; then
    sudo=""
elif command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
    sudo="sudo"
else
    echo "chartlink needs:$missing" >&2
    echo "install them with: sudo apt-get install$missing" >&2
    exit 1
fi
echo "installing:$missing"
$sudo apt-get update -q
# shellcheck disable=SC2086 # one word per package
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q $missing
