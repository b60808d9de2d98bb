#!/bin/sh
# Measures zarv and prints a table: the real binary's frame rate, start-up
# time and CPU use, the cost of one drawn frame by section, and the program's
# own CPU work per frame. Each figure is the median of RUNS runs.
# Usage: bench/run.sh BUILD_DIR
set -eu
build=${1:?usage: $0 BUILD_DIR}
runs=${RUNS:-3}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
column() { awk -v c="$1" '{ print $c }' "$2" | median; }

printf '%-11s %-10s %9s %9s %12s %9s %10s %10s %10s\n' \
    screen state "fps" "of cap" "frame ms" "trail ms" "swap ms" "start ms" "CPU %"
for size in 800x600 1920x1080; do
    w=${size%x*}
    h=${size#*x}
    bin=$(mktemp)
    cost=$(mktemp)
    i=0
    while [ "$i" -lt "$runs" ]; do
        "$build/bench/run_binary" "$w" "$h" >>"$bin"
        "$build/bench/frame_cost" "$w" "$h" >>"$cost"
        i=$((i + 1))
    done
    start=$(column 1 "$bin")
    rest=$(column 2 "$bin")
    boom=$(column 3 "$bin")
    cpu=$(column 4 "$bin")
    frame_rest=$(column 1 "$cost")
    frame_boom=$(column 2 "$cost")
    trail=$(column 3 "$cost")
    swap=$(column 4 "$cost")
    printf '%-11s %-10s %9s %8.0f%% %12s %9s %10s %10s %10s\n' \
        "$size" rest "$rest" "$(echo "$rest * 100 / 83.33" | bc -l)" "$frame_rest" - "$swap" "$start" "$cpu"
    printf '%-11s %-10s %9s %8.0f%% %12s %9s %10s %10s %10s\n' \
        "$size" exploding "$boom" "$(echo "$boom * 100 / 83.33" | bc -l)" "$frame_boom" "$trail" "$swap" - -
    rm -f "$bin" "$cost"
done
echo
echo "The program's own work per drawn frame outside OpenGL (2,500 quads, both passes):"
"$build/bench/field_bench" --benchmark_repetitions="$runs" --benchmark_report_aggregates_only=true \
    2>/dev/null | grep -E '_median'
