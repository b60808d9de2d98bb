#!/bin/sh
# Cross-builds zarv for Linux on arm64 into OUT_DIR (OUT_DIR/zarv), packages
# it (OUT_DIR/zarv_1.0_arm64.deb, checked by lintian as the amd64 one is),
# and runs it under qemu-user with the arm64 Mesa's llvmpipe on a private
# Xvfb with openbox: its window full screen, a click that explodes the grid
# with its trail, and Esc ending it with status 0. Then, under a clock that
# moves 12 ms a frame and a press after frame PRESS_AT
# (tests/support/fixed_clock.cpp, preloaded into each), its first FRAMES
# frames against the x86-64 binary HOST_ZARV's.
# Usage: tools/arm64.sh OUT_DIR HOST_ZARV
set -eu
out=${1:?usage: $0 OUT_DIR HOST_ZARV}
host_zarv=${2:?usage: $0 OUT_DIR HOST_ZARV}
top=$(cd "$(dirname "$0")/.." && pwd)
FRAMES=${FRAMES:-16}
PRESS_AT=${PRESS_AT:-6}
fail() { echo "arm64: $*" >&2; exit 1; }

cmake -S "$top" -B "$out" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/aarch64-linux-gnu.cmake" -DBUILD_TESTING=OFF \
    -DZARV_WERROR="${ZARV_WERROR:-OFF}" >/dev/null
cmake --build "$out" --parallel
(cd "$out" && cpack -G DEB -D CPACK_DEBIAN_PACKAGE_ARCHITECTURE=arm64 >/dev/null)
deb="$out/zarv_1.0_arm64.deb"
[ "$(dpkg-deb -f "$deb" Architecture)" = arm64 ] || fail "$deb is not for arm64"
"$top/tools/lintian.sh" "$deb" || fail "lintian"
echo "arm64: $deb built, lintian-clean"

for arch in amd64 arm64; do
    compiler=g++
    [ "$arch" = amd64 ] || compiler=aarch64-linux-gnu-g++
    $compiler -O2 -shared -fPIC -o "$out/fixed_clock-$arch.so" "$top/tests/support/fixed_clock.cpp" -ldl
done

work=$(mktemp -d)
pids=""
trap 'kill $pids 2>/dev/null || true; rm -rf "$work"' EXIT
. "$top/tools/xvfb-desktop.sh"
start_desktop 640x480

# Emulated, a frame costs about a third of a second here. The preload, with
# no press or end of its own, keeps the frames for a look at the last one
# after the click.
began=$(date +%s)
qemu-aarch64 -L / -E LD_PRELOAD="$out/fixed_clock-arm64.so" -E ZARV_FRAMES_FILE="$work/live.ppm" "$out/zarv" &
zarv=$!
windows=$(timeout 120 xdotool search --sync --name '^Zarv 1\.0$') || fail "no window in 120 s"
window=$(echo "$windows" | head -1)
# Emulated, the program starts slowly: the window manager may make it full
# screen a while after it appears.
waited=0
until [ "$(xdotool getwindowgeometry "$window" | awk '/Geometry:/ { print $2 }')" = 640x480 ]; do
    [ "$waited" -lt 60 ] || fail "the window is not the screen's 640x480 after 60 s"
    sleep 1
    waited=$((waited + 1))
done
xdotool mousemove 320 240 click 1
sleep 6
xdotool key Escape
waited=0
while kill -0 "$zarv" 2>/dev/null; do
    [ "$waited" -lt 60 ] || { kill "$zarv"; fail "zarv still running 60 s after Esc"; }
    sleep 1
    waited=$((waited + 1))
done
status=0
wait "$zarv" || status=$?
[ "$status" -eq 0 ] || fail "zarv ended with status $status after Esc"
echo "arm64: full screen, clicked and ended by Esc with status 0 in $(($(date +%s) - began)) s"

# No window manager: freeglut sizes the full-screen window itself, before
# the first frame, so both binaries draw every frame at one size.
start_desktop 800x700 bare
for arch in amd64 arm64; do
    set -- env LD_PRELOAD="$out/fixed_clock-$arch.so" "$host_zarv"
    [ "$arch" = amd64 ] || set -- qemu-aarch64 -L / -E LD_PRELOAD="$out/fixed_clock-$arch.so" \
        -E ZARV_FRAMES="$FRAMES" -E ZARV_PRESS_AT="$PRESS_AT" -E ZARV_FRAMES_FILE="$work/$arch.ppm" "$out/zarv"
    ZARV_FRAMES="$FRAMES" ZARV_PRESS_AT="$PRESS_AT" ZARV_FRAMES_FILE="$work/$arch.ppm" timeout 300 "$@" ||
        fail "$arch: the fixed-clock run failed"
done
python3 - "$work" "$FRAMES" "$PRESS_AT" <<'EOF'
"""The clicked run's last frame shows the explosion and its trail; the two
architectures' fixed-clock frames are byte-identical but for at most one
value in 10,000 a frame: with Mesa 22.3 (Mesa 25's are identical),
llvmpipe's arm64 code puts a few of the tumbling quads' edge pixels on the
next pixel (a build of zarv without fused multiply-adds draws the same),
which the trail then keeps."""
import sys


def frames(path):
    data, out = open(path, "rb").read(), []
    while data:
        _, size, _, data = data.split(b"\n", 3)
        width, height = map(int, size.split())
        out.append(data[:width * height * 3])
        data = data[width * height * 3:]
    return out


def lit(frame):
    return sum(r > 40 or g > 40 for r, g in zip(frame[0::3], frame[1::3]))


def failed(why):
    print(f"arm64: {why}", file=sys.stderr)
    sys.exit(1)


work, count, press = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
live = frames(f"{work}/live.ppm")
red = live[-1][0::3]
dim = sum(0 < r <= 40 for r in red)
print(f"arm64: {len(live)} frames drawn live; the last: {sum(r > 40 for r in red)} pixels lit red, {dim} dim red")
if dim <= 2000:
    failed("no trail in the last frame after the click")
host, arm = frames(f"{work}/amd64.ppm"), frames(f"{work}/arm64.ppm")
if not len(host) == len(arm) == count:
    failed(f"{len(host)} x86-64 and {len(arm)} arm64 fixed-clock frames, not {count} each")
# The grid's lines at rest, and the solid quads of the explosion, cover
# some and then more of the window in the frames compared.
rest, boom = lit(host[press - 1]), lit(host[-1])
print(f"arm64: x86-64's pixels lit, at rest {rest}, in the last exploding frame {boom}")
if rest < 20000 or boom < 2 * rest:
    failed("the compared frames do not show the grid at rest and then an explosion")
differ = [sum(x != y for x, y in zip(h, a)) if h != a else 0 for h, a in zip(host, arm)]
print(f"arm64: {len(arm)} fixed-clock frames ({count - press} exploding), {differ.count(0)} byte-identical to "
      f"x86-64's; values that differ, frame by frame: {differ}")
if not all(d <= len(h) / 10000 for d, h in zip(differ, host)):
    failed("more than one value in 10,000 of a frame differs from x86-64's")
EOF
