#!/bin/sh
# Builds the Debian packages with dpkg-buildpackage in a copy of the tree,
# checks them with lintian, installs them with dpkg -i into a scratch root,
# builds the C and C++ consumers against them through find_package,
# pkg-config and the static library, then purges them and checks that
# nothing of theirs is left. Nothing is installed on the machine itself.
# Usage: run.sh (from anywhere; DEB_BUILD_OPTIONS is passed on)
set -eu
test_name="package test"
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
c_compiler=cc
cxx_compiler=c++
# shellcheck source=SCRIPTDIR/../consumer/common.sh
. "$source_dir/tests/consumer/common.sh"

version=$(sed -n 's/^project(chartlink VERSION \([^ ]*\) .*/\1/p' "$source_dir/CMakeLists.txt")
package_version=$(dpkg-parsechangelog -l "$source_dir/debian/changelog" -SVersion)
[ "${package_version%-*}" = "$version" ] ||
    fail "debian/changelog says $package_version, CMakeLists.txt $version"

# The tree as git sees it: no build trees, nothing ignored.
git -C "$source_dir" rev-parse --git-dir >/dev/null 2>&1 ||
    fail "$source_dir is no git checkout: the copy takes the files git knows"
copy=$work/chartlink-$version
mkdir "$copy"
git -C "$source_dir" ls-files -z --cached --others --exclude-standard |
    (cd "$source_dir" && tar --null -T - --ignore-failed-read -cf -) | tar -x -C "$copy"

started=$(date +%s)
(cd "$copy" && dpkg-buildpackage -us -uc -b >"$work/build.log" 2>&1) || {
    tail -n 60 "$work/build.log" >&2
    fail "dpkg-buildpackage failed (last lines above)"
}
echo "packages built in $(($(date +%s) - started)) s; their tests: $(grep -h 'tests passed' "$work/build.log" || echo none)"
lintian --fail-on error,warning --display-info "$work"/chartlink_*.changes ||
    fail "lintian found errors or warnings (above)"

# A scratch root whose dpkg database knows the machine's packages that
# these depend on, so that dpkg checks their dependencies as it would here.
root=$work/root
admin=$root/var/lib/dpkg
mkdir -p "$admin/info" "$admin/updates"
: >"$admin/available"
as_root=$([ "$(id -u)" = 0 ] || echo fakeroot)
scratch_dpkg() { # dpkg on the scratch root, logging there rather than in /var/log
    $as_root dpkg --root="$root" --log="$admin/dpkg.log" "$@" >/dev/null
}
for package in $(dpkg-deb -f "$work"/libchartlink0_*.deb Depends | sed 's/([^)]*)//g; s/[,|]/ /g'); do
    dpkg-query -s "$package" >>"$admin/status"
    echo >>"$admin/status"
    dpkg-query -L "$package" >"$admin/info/$(dpkg-query -W -f='${binary:Package}' "$package").list"
done
find "$root" -mindepth 1 -not -path "$root/var*" -printf '/%P\n' | sort >"$work/before"
scratch_dpkg -i "$work"/libchartlink0_*.deb "$work"/libchartlink-dev_*.deb

# Only now: the package build's tests run the real gnuplot.
use_fake_gnuplot "$source_dir/tests/fake_gnuplot.sh"
libdir=$root/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)
export PKG_CONFIG_SYSROOT_DIR="$root" PKG_CONFIG_LIBDIR="$libdir/pkgconfig"
consumers_against package "$root/usr" "$libdir/pkgconfig" 17
check_shared_library "$libdir/libchartlink.so.$version"

# The static library by name, as the README shows.
static_build() { # static_build <compiler> <standard> <source> <expected line>
    "$1" "$2" -Wall -Wextra -Wpedantic -Werror -I"$root/usr/include" \
        "$source_dir/tests/consumer/$3" "$libdir/libchartlink.a" -lstdc++ -lm -pthread \
        -o "$work/static-consumer"
    ! readelf -d "$work/static-consumer" | grep -q 'NEEDED.*libchartlink' ||
        fail "the static build of $3 needs the shared library"
    expect_sent "$work/static-consumer" "$4"
}
static_build "$c_compiler" -std=c99 consumer.c "$c_sent"
static_build "$cxx_compiler" -std=c++17 consumer.cpp "$cxx_sent"

scratch_dpkg --purge libchartlink-dev libchartlink0
find "$root" -mindepth 1 -not -path "$root/var*" -printf '/%P\n' | sort >"$work/after"
left=$(comm -13 "$work/before" "$work/after")
[ -z "$left" ] || fail "left behind after purge: $left"
left=$(find "$admin/info" -name 'libchartlink*')
[ -z "$left" ] || fail "dpkg still holds: $left"
echo "package test: built, lintian clean, installed, consumers built and ran, purged"
