#!/bin/sh
# Stands in for gnuplot: records every byte it receives in $FAKE_GNUPLOT_LOG.
# FAKE_GNUPLOT_MODE=exit: close standard input at once, touch the log, end.
# FAKE_GNUPLOT_MODE=copy: also copy each data file named in a command to
#   $FAKE_GNUPLOT_LOG.1, .2, ..., before the library removes it.
case "${FAKE_GNUPLOT_MODE:-record}" in
exit)
    exec 0<&-
    : >"$FAKE_GNUPLOT_LOG"
    ;;
copy)
    copies=0
    while IFS= read -r line; do
        printf '%s\n' "$line" >>"$FAKE_GNUPLOT_LOG"
        case $line in
        *'"/tmp/chartlink-'*)
            file=${line#*\"}
            copies=$((copies + 1))
            cp "${file%%\"*}" "$FAKE_GNUPLOT_LOG.$copies"
            ;;
        esac
    done
    ;;
*)
    exec cat >>"$FAKE_GNUPLOT_LOG"
    ;;
esac
