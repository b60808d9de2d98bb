# Sourced by the scripts that need a desktop of their own.
# start_desktop WIDTHxHEIGHT starts Xvfb on a free display with openbox on
# it, points DISPLAY there and adds both processes to $pids, which the
# caller kills when it ends.
start_desktop() {
    desktop_fifo=$(mktemp -u)
    mkfifo "$desktop_fifo"
    Xvfb -displayfd 3 -screen 0 "${1}x24" -nolisten tcp 3>"$desktop_fifo" >/dev/null 2>&1 &
    pids="$! ${pids:-}"
    read -r desktop_number <"$desktop_fifo"
    rm -f "$desktop_fifo"
    export DISPLAY=":$desktop_number"
    openbox --sm-disable >/dev/null 2>&1 &
    pids="$! $pids"
}
