#!/bin/sh
# Unpacks Debian's gnuplot-qt (windows: qt, wxt and x11) into DEST, beside
# the machine's own gnuplot, which stays as it is, and writes DEST/bin/gnuplot
# to run it. Its libraries come from `install-deps.sh test`. Does nothing
# when DEST already holds it.
set -eu
mkdir -p "$1"
DEST=$(cd "$1" && pwd)
[ -x "$DEST/bin/gnuplot" ] && exit 0
mkdir -p "$DEST/deb"
cd "$DEST/deb"
if ! apt-get download gnuplot-qt >/dev/null 2>&1; then
    # No package lists yet: fetch them where we may.
    [ "$(id -u)" = 0 ] && apt-get update -q >/dev/null
    apt-get download gnuplot-qt
fi
dpkg -x gnuplot-qt_*.deb "$DEST/root"
mkdir -p "$DEST/bin"
cat >"$DEST/bin/gnuplot.new" <<WRAPPER
#!/bin/sh
GNUPLOT_DRIVER_DIR='$DEST/root/usr/lib/gnuplot' exec '$DEST/root/usr/bin/gnuplot-qt' "\$@"
WRAPPER
chmod +x "$DEST/bin/gnuplot.new"
mv "$DEST/bin/gnuplot.new" "$DEST/bin/gnuplot"
