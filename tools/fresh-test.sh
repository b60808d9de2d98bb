#!/bin/sh
# Runs 'make test' from a clone of this tree's committed HEAD inside a new
# minimal Debian 12 root (debootstrap's minbase with git and make added),
# as a new user would on a fresh machine. Unmounts what it mounted, pass or
# fail. Needs root. Usage: tools/fresh-test.sh WORK_DIR
set -eu
work=${1:?usage: $0 WORK_DIR}
top=$(cd "$(dirname "$0")/.." && pwd)
root="$work/root"

# The mirror the machine's own apt uses.
mirror=$("$top/tools/debian-mirror.sh")

mounted=""
cleanup() {
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
    for m in proc sys dev src; do umount -R "$root/$m" 2>/dev/null || true; done
    rm -rf "$root"
fi
mkdir -p "$work"
echo "fresh-test: debootstrap bookworm from $mirror into $root"
debootstrap --variant=minbase bookworm "$root" "$mirror" >"$work/debootstrap.log" 2>&1 ||
    { tail -20 "$work/debootstrap.log" >&2; exit 1; }
cp /etc/resolv.conf "$root/etc/resolv.conf"
mount_in -t proc proc "$root/proc"
mount_in -t sysfs sys "$root/sys"
mount_in --rbind /dev "$root/dev"
mount_in --bind -o ro "$top" "$root/src"

in_root() { chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 "$@"; }
in_root sh -c 'apt-get update -q >/dev/null && DEBIAN_FRONTEND=noninteractive apt-get install -y -q git make >/dev/null'
in_root git -c safe.directory='*' clone -q /src /root/zarv
echo "fresh-test: make test in the fresh root"
in_root sh -c 'cd /root/zarv && make test'
echo "fresh-test: passed"
