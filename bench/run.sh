#!/bin/sh
# Measures zarv and prints a table: the real binary's frame rate, start-up
# time and CPU use, the cost of one drawn frame by section, and the program's
# own CPU work per frame, with each choice of accumulation buffer; and, where
# 'make web' has built it, the browser build's frame rate. Each
# figure is the median of RUNS runs. With BENCH_DISPLAY=:0 it measures on
# that display (the user's own, GPU and all) instead of on private Xvfbs.
# Usage: bench/run.sh BUILD_DIR
set -eu
build=${1:?usage: $0 BUILD_DIR}
runs=${RUNS:-3}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
column() { awk -v c="$1" '{ print $c }' "$2" | median; }
# One row of the table: screen, buffer, state, fps (with its share of the
# cap), frame ms, then scene ms, trail ms, quad ms, read+draw ms, swap ms,
# start ms, CPU %.
row() {
    printf '%-11s %-12s %-10s %7s %6.0f%% %9s' "$1" "$2" "$3" "$4" "$(echo "$4 * 100 / 83.33" | bc -l)" "$5"
    shift 5
    printf ' %9s %9s %8s %10s %8s %9s %6s\n' "$@"
}

printf '%-11s %-12s %-10s %7s %7s %9s %9s %9s %8s %10s %8s %9s %6s\n' screen "accum buffer" state "fps" \
    "of cap" "frame ms" "scene ms" "trail ms" "quad ms" "read+draw" "swap ms" "start ms" "CPU %"
# On the display BENCH_DISPLAY names, at its own size; otherwise on private
# Xvfb screens.
sizes="800x600 1920x1080"
if [ -n "${BENCH_DISPLAY:-}" ]; then
    sizes=$(xdpyinfo -display "$BENCH_DISPLAY" | awk '/dimensions:/ { print $2; exit }')
fi
for size in $sizes; do
    w=${size%x*}
    h=${size#*x}
    # The visual's own; the program's framebuffer object in its place, as
    # chosen on a GPU; with accumulation visuals hidden as on Xwayland or
    # Mesa 25, the framebuffer object and memory; and the program's own
    # choice on this renderer, on this display (default: what Debian 12
    # runs) and with accumulation visuals hidden (what Debian 13 runs).
    for kind in visual gpu framebuffer memory default hidden; do
        bin=$(mktemp)
        cost=$(mktemp)
        i=0
        status=0
        while [ "$i" -lt "$runs" ]; do
            "$build/bench/frame_cost" "$w" "$h" "$kind" >>"$cost" 2>/dev/null || status=$?
            # 3: the display has no accumulation visual for this kind.
            [ "$status" -eq 0 ] || break
            "$build/bench/run_binary" "$w" "$h" "$kind" >>"$bin" 2>/dev/null
            i=$((i + 1))
        done
        if [ "$status" -eq 3 ]; then
            printf '%-11s %-12s %s\n' "$size" "$kind" "(the display has no accumulation visual)"
            rm -f "$bin" "$cost"
            continue
        fi
        [ "$status" -eq 0 ] || { echo "frame_cost failed ($status)" >&2; exit 1; }
        start=$(column 1 "$bin")
        rest=$(column 2 "$bin")
        boom=$(column 3 "$bin")
        cpu=$(column 4 "$bin")
        swap=$(column 5 "$cost")
        row "$size" "$kind" rest "$rest" "$(column 1 "$cost")" - - - - "$swap" "$start" "$cpu"
        row "$size" "$kind" exploding "$boom" "$(column 2 "$cost")" "$(column 3 "$cost")" "$(column 4 "$cost")" \
            "$(column 6 "$cost")" "$(column 7 "$cost")" "$swap" - -
        rm -f "$bin" "$cost"
    done
done
# The browser build, where 'make web' has built it: headless Chromium,
# WebGL 2 on SwiftShader, at the same sizes, and on a phone (390 x 844 CSS
# pixels at 3 device pixels each, touch); WebKit and Firefox on Xvfb, WebGL 2
# on llvmpipe, at 800 x 600.
web="build-web/zarv.html"
if [ -z "${BENCH_DISPLAY:-}" ] && [ -f "$web" ]; then
    # shellcheck disable=SC2086
    for page in $(printf 'chromium:%s ' $sizes) chromium:390x844@3 webkit:800x600 firefox:800x600; do
        engine=${page%%:*}
        size=${page#*:}
        case $size in
        *@*) screen=${size%@*} device="${size#*@} mobile" ;;
        *) screen=$size device= ;;
        esac
        fps=$(mktemp)
        i=0
        while [ "$i" -lt "$runs" ]; do
            # shellcheck disable=SC2086
            /usr/bin/python3 bench/web_fps.py --engine "$engine" "$web" "${screen%x*}" "${screen#*x}" $device >>"$fps"
            i=$((i + 1))
        done
        row "$size" "$engine" rest "$(column 1 "$fps")" - - - - - - - -
        row "$size" "$engine" exploding "$(column 2 "$fps")" - - - - - - - -
        rm -f "$fps"
    done
fi
echo
echo "The program's own work per drawn frame outside OpenGL (2,500 quads, both passes):"
"$build/bench/field_bench" --benchmark_repetitions="$runs" --benchmark_report_aggregates_only=true \
    2>/dev/null | grep -E '^[A-Za-z]+(/[^ _]+)?(_median)? ' | grep -v '^Benchmark'
