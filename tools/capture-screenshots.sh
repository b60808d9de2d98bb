#!/bin/sh
# Captures the README's pictures from the real program on a private Xvfb
# with openbox: the explosion as an animated WebP (half a second at rest,
# the click, then six seconds of flight), the grid at rest from its first
# frame and the explosion two seconds after the click as stills.
# Usage: tools/capture-screenshots.sh path/to/zarv output-directory
set -eu

zarv=${1:?usage: $0 path/to/zarv output-directory}
out=${2:?usage: $0 path/to/zarv output-directory}
mkdir -p "$out"
frames=$(mktemp -d)

pids=""
trap 'kill $pids 2>/dev/null || true; rm -rf "$frames"' EXIT
. "$(dirname "$0")/xvfb-desktop.sh"
start_desktop 800x600

"$zarv" &
zarv_pid=$!
pids="$zarv_pid $pids"
xdotool search --sync --name '^Zarv 1\.0$' >/dev/null
sleep 3

now_ms() { echo $(($(date +%s%N) / 1000000)); }
# Whole screens as fast as xwd takes them (about 15 a second), each with
# its time since the first.
start=$(now_ms)
clicked=""
i=0
while :; do
    t=$(($(now_ms) - start))
    [ "$t" -lt 6500 ] || break
    if [ -z "$clicked" ] && [ "$t" -ge 500 ]; then
        xdotool mousemove 400 300 click 1
        clicked=$t
    fi
    xwd -root -silent >"$frames/$(printf %04d "$i").xwd"
    echo "$t" >>"$frames/times"
    i=$((i + 1))
    sleep 0.05
done
xdotool key Escape
wait $zarv_pid

# Stills at full size; the animation scaled to 600 x 450 and lossy, to stay
# small enough for a README page, each frame shown until the next was taken.
for f in "$frames"/*.xwd; do
    convert "xwd:$f" "${f%.xwd}.png"
    convert "${f%.xwd}.png" -resize 600x450 "${f%.xwd}.small.png"
done
args=$(awk -v dir="$frames" '{ t[NR - 1] = $1 }
    END { for (i = 0; i < NR; i++) printf " -d %d %s/%04d.small.png", (i + 1 < NR ? t[i + 1] - t[i] : t[i] - t[i - 1]), dir, i }' "$frames/times")
still=$(awk -v at=$((clicked + 2000)) '$1 >= at { print NR - 1; exit }' "$frames/times")
# shellcheck disable=SC2086
img2webp -loop 0 -lossy -q 60 $args -o "$out/explosion.webp" >/dev/null
cp "$frames/0000.png" "$out/grid-at-rest.png"
cp "$frames/$(printf %04d "$still").png" "$out/explosion.png"
echo "wrote $out/explosion.webp ($i frames), $out/grid-at-rest.png and $out/explosion.png"
