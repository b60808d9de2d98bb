# Sourced by the scripts that need a desktop of their own.
# start_desktop WIDTHxHEIGHT starts Xvfb on a free display with openbox on
# it, points DISPLAY there and adds both processes to $pids, which the
# caller kills when it ends. It returns once openbox manages the screen:
# openbox announces itself before that (on a fresh system it first rebuilds
# fontconfig's cache), and what a window asks for meanwhile is lost, but it
# runs its start-up command only then.
start_desktop() {
    desktop_fifo=$(mktemp -u)
    mkfifo "$desktop_fifo"
    Xvfb -displayfd 3 -screen 0 "${1}x24" -nolisten tcp 3>"$desktop_fifo" >/dev/null 2>&1 &
    pids="$! ${pids:-}"
    read -r desktop_number <"$desktop_fifo"
    rm -f "$desktop_fifo"
    export DISPLAY=":$desktop_number"
    desktop_ready=$(mktemp -u)
    openbox --sm-disable --startup "touch $desktop_ready" >/dev/null 2>&1 &
    pids="$! $pids"
    desktop_waited=0
    while [ ! -e "$desktop_ready" ]; do
        [ "$desktop_waited" -lt 600 ] || { echo "openbox did not take the screen" >&2; return 1; }
        sleep 0.1
        desktop_waited=$((desktop_waited + 1))
    done
    rm -f "$desktop_ready"
}
