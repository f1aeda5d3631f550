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

installed() { dpkg-query -W -f='${db:Status-Abbrev}' "$1" 2>/dev/null | grep -q '^ii'; }

need gnuplot-nox command -v gnuplot
need cmake command -v cmake
need g++ command -v g++
need make command -v make
case ${1:-demo} in
test | bench)
    need libgtest-dev test -f /usr/include/gtest/gtest.h
    need libpng-dev test -f /usr/include/png.h
    need libgif-dev test -f /usr/include/gif_lib.h
    need clang command -v clang++
    need pkg-config command -v pkg-config
    need clang-format command -v clang-format
    need locales test -f /usr/share/i18n/locales/de_DE
    need git command -v git
    need dpkg-dev command -v dpkg-buildpackage
    need debhelper command -v dh
    need lintian command -v lintian
    [ "$(id -u)" = 0 ] || need fakeroot command -v fakeroot
    # Windows under a virtual X server, for the gnuplot-qt that
    # scripts/window-gnuplot.sh unpacks beside the machine's own.
    need xvfb command -v Xvfb
    need xdotool command -v xdotool
    need libx11-dev test -f /usr/include/X11/Xlib.h
    for package in libqt5core5a libqt5gui5 libqt5network5 libqt5printsupport5 libqt5svg5 \
        libqt5widgets5 libwxgtk3.2-1 libwxbase3.2-1; do
        need $package installed $package
    done
    ;;
esac
if [ "${1:-demo}" = bench ]; then
    need libbenchmark-dev test -f /usr/include/benchmark/benchmark.h
fi

# The tests read numbers back from a gnuplot told to write German ones.
german_locale() {
    case ${1:-demo} in
    test | bench) locale -a 2>/dev/null | grep -qix 'de_DE.utf-\{0,1\}8' ;;
    *) true ;;
    esac
}

if [ -z "$missing" ] && german_locale "$@"; then
    exit 0
fi

if [ "$(id -u)" = 0 ]; then
    sudo=""
elif command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
    sudo="sudo"
else
    [ -z "$missing" ] || echo "chartlink needs:$missing; install them with: sudo apt-get install$missing" >&2
    german_locale "$@" || echo "the tests need the locale de_DE.UTF-8: sudo localedef -i de_DE -f UTF-8 de_DE.UTF-8" >&2
    exit 1
fi
if [ -n "$missing" ]; then
    echo "installing:$missing"
    $sudo apt-get update -q
    # shellcheck disable=SC2086 # one word per package
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q $missing
fi
german_locale "$@" || $sudo localedef -i de_DE -f UTF-8 de_DE.UTF-8
