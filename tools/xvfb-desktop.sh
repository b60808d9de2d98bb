# A private Xvfb with openbox, for the scripts and the C++ tests alike.
#
# Sourced: start_desktop WIDTHxHEIGHT [bare] starts Xvfb on a free display
# with openbox on it (not if bare), points DISPLAY there and adds both
# processes to $pids, which the caller kills when it ends. It returns once
# openbox manages the screen: openbox announces itself before that (on a
# fresh system it first rebuilds fontconfig's cache), and what a window asks
# for meanwhile is lost, but it runs its start-up command only then.
#
# Run: tools/xvfb-desktop.sh WIDTHxHEIGHT [bare] does the same, prints the
# display's number and keeps both until it gets SIGTERM.
start_desktop() {
    desktop_fifo=$(mktemp -u)
    mkfifo "$desktop_fifo"
    Xvfb -displayfd 3 -screen 0 "${1}x24" -nolisten tcp -noreset 3>"$desktop_fifo" >/dev/null 2>&1 &
    pids="$! ${pids:-}"
    read -r desktop_number <"$desktop_fifo"
    rm -f "$desktop_fifo"
    [ -n "$desktop_number" ] || { echo "Xvfb did not start" >&2; return 1; }
    export DISPLAY=":$desktop_number"
    [ "${2:-}" != bare ] || return 0
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

case "$0" in
*xvfb-desktop.sh)
    set -eu
    pids=""
    trap 'kill $pids 2>/dev/null; wait; exit 0' TERM
    trap 'kill $pids 2>/dev/null' EXIT
    start_desktop "$@"
    echo "$desktop_number"
    wait
    ;;
esac
