#!/bin/sh
# Walks the README's commands from a clone of this tree's committed HEAD
# inside a new minimal Debian root of the given release (debootstrap's
# minbase with git and make added), as a new user would on a fresh machine:
# first 'make run', on an Xvfb with openbox started out here whose socket is
# bound into the root, until its window appears and Esc ends it with status
# 0; then 'make package', 'make test' and 'make web'.
# Unmounts what it mounted, pass or fail. Needs root.
# Usage: tools/fresh-test.sh WORK_DIR SUITE (bookworm for Debian 12, trixie for 13)
set -eu
work=${1:?usage: $0 WORK_DIR SUITE}
suite=${2:?usage: $0 WORK_DIR SUITE}
top=$(cd "$(dirname "$0")/.." && pwd)
root="$work/root"

# The mirror the machine's own apt uses.
mirror=$("$top/tools/debian-mirror.sh")

mounted=""
pids=""
cleanup() {
    kill $pids 2>/dev/null || true
    for m in $mounted; do
        umount -R "$m" 2>/dev/null || umount -l "$m" 2>/dev/null || true
    done
}
trap cleanup EXIT INT TERM
mount_in() {  # mount_in ARGS... TARGET
    eval "target=\${$#}"
    mkdir -p "$target"
    mount "$@"
    mounted="$target $mounted"
}

if [ -d "$root" ]; then
    for m in proc sys dev src tmp/.X11-unix; do umount -R "$root/$m" 2>/dev/null || true; done
    rm -rf "$root"
fi
mkdir -p "$work"
echo "fresh-test: debootstrap $suite from $mirror into $root"
debootstrap --variant=minbase "$suite" "$root" "$mirror" >"$work/debootstrap.log" 2>&1 ||
    { tail -20 "$work/debootstrap.log" >&2; exit 1; }
cp /etc/resolv.conf "$root/etc/resolv.conf"
mount_in -t proc proc "$root/proc"
mount_in -t sysfs sys "$root/sys"
mount_in --rbind /dev "$root/dev"
mount_in --bind -o ro "$top" "$root/src"

in_root() { chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 "$@"; }
in_root sh -c 'apt-get update -q >/dev/null && DEBIAN_FRONTEND=noninteractive apt-get install -y -q git make >/dev/null'
in_root git -c safe.directory='*' clone -q /src /root/zarv

# The display the root's 'make run' draws on.
. "$top/tools/xvfb-desktop.sh"
start_desktop 1024x768
mount_in --bind /tmp/.X11-unix "$root/tmp/.X11-unix"

began=$(date +%s)
took() { echo "$(($(date +%s) - began)) s"; }
echo "fresh-test: make run in the fresh $suite root"
in_root DISPLAY="$DISPLAY" sh -c 'cd /root/zarv && make run' &
run=$!
# Installing and building come first: wait for the window while make runs.
waited=0
until xdotool search --name '^Zarv 1\.0$' >/dev/null 2>&1; do
    kill -0 "$run" 2>/dev/null || { wait "$run" || true; echo "fresh-test: make run ended without a window" >&2; exit 1; }
    [ "$waited" -lt 1200 ] || { kill "$run"; echo "fresh-test: no window after 20 minutes" >&2; exit 1; }
    sleep 1
    waited=$((waited + 1))
done
sleep 2
xdotool key Escape
status=0
wait "$run" || status=$?
[ "$status" -eq 0 ] || { echo "fresh-test: make run ended with status $status after Esc" >&2; exit 1; }
for p in googletest libgtest-dev xvfb xdotool openbox; do
    if in_root dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q ' installed$'; then
        echo "fresh-test: make run installed $p, which only the tests need" >&2
        exit 1
    fi
done
echo "fresh-test: make run showed the window and ended with status 0 on Esc, after $(took)"

for target in package test web; do
    echo "fresh-test: make $target in the fresh $suite root"
    began=$(date +%s)
    in_root sh -c "cd /root/zarv && make $target"
    echo "fresh-test: make $target passed in $(took)"
done
echo "fresh-test: $suite passed"
