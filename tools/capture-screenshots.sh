#!/bin/sh
# Captures the README's pictures from the real program on a private Xvfb
# with openbox: the grid at rest, and the same run shortly after a click.
# With an icon path, also cuts the desktop icon (256 x 256) from the latter.
# Usage: tools/capture-screenshots.sh path/to/zarv output-directory [icon.png]
set -eu

zarv=${1:?usage: $0 path/to/zarv output-directory}
out=${2:?usage: $0 path/to/zarv output-directory}
icon=${3:-}
mkdir -p "$out"

fifo=$(mktemp -u)
mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
xvfb=$!
read -r number <"$fifo"
rm -f "$fifo"
export DISPLAY=":$number"
openbox --sm-disable >/dev/null 2>&1 &
wm=$!
zarv_pid=""
trap 'kill $zarv_pid $wm $xvfb 2>/dev/null || true' EXIT
sleep 1

"$zarv" &
zarv_pid=$!
xdotool search --sync --name '^Zarv 1\.0$' >/dev/null
sleep 3
xwd -root -silent | convert xwd:- "$out/grid-at-rest.png"
xdotool mousemove 400 300 click 1
sleep 2
xwd -root -silent | convert xwd:- "$out/explosion.png"
xdotool key Escape
wait $zarv_pid
echo "wrote $out/grid-at-rest.png and $out/explosion.png"
if [ -n "$icon" ]; then
    convert "$out/explosion.png" -gravity center -crop 400x400+0+0 +repage -resize 256x256 "$icon"
    echo "wrote $icon"
fi
