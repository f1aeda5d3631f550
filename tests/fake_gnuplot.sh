#!/bin/sh
# Stands in for gnuplot: records every line it receives in $FAKE_GNUPLOT_LOG
# and answers each request, through its descriptor 3, as gnuplot would when
# all went well.
# FAKE_GNUPLOT_MODE=exit: close standard input at once, touch the log, end.
# FAKE_GNUPLOT_MODE=deaf: never read nor answer; once $FAKE_GNUPLOT_LOG.free
#   exists, touch the log and end.
# FAKE_GNUPLOT_MODE=copy: also copy each data file named in a command to
#   $FAKE_GNUPLOT_LOG.1, .2, ..., before the library removes it.
mode=${FAKE_GNUPLOT_MODE:-record}
closing='R".GPVAL_ERRMSG."'
answer() { # answer <line>: ...print "<tag><n>R".GPVAL_ERRMSG."<tag>";...
    open=${1%%"$closing"*}
    close=${1#*"$closing"}
    printf '%sR%s\n' "${open##*print \"}" "${close%%\"*}" >&3
}
case $mode in
exit)
    exec 0<&-
    : >"$FAKE_GNUPLOT_LOG"
    exit
    ;;
deaf)
    until [ -e "$FAKE_GNUPLOT_LOG.free" ]; do sleep 0.01; done
    : >"$FAKE_GNUPLOT_LOG"
    exit
    ;;
esac
copies=0
while IFS= read -r line; do
    printf '%s\n' "$line" >>"$FAKE_GNUPLOT_LOG"
    case $line in
    *"$closing"*)
        answer "$line"
        ;;
    *'"/tmp/chartlink-'*)
        if [ "$mode" = copy ]; then
            file=${line#*\"}
            copies=$((copies + 1))
            cp "${file%%\"*}" "$FAKE_GNUPLOT_LOG.$copies"
        fi
        ;;
    esac
done
printf '%s' "$line" >>"$FAKE_GNUPLOT_LOG"
