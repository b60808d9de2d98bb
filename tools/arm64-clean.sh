#!/bin/sh
# Takes back what 'make arm64' added to this system: the arm64 libraries it
# asked for, the cross toolchain and qemu-user, what apt installed for them
# alone, then the arm64 architecture itself. The host's Mesa stays at the
# version apt moved it to, the suite's newest.
set -eu
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
if ! dpkg --print-foreign-architectures | grep -qx arm64; then
    echo "zarv: the arm64 architecture is not there: nothing to take back"
    exit 0
fi
installed() { dpkg-query -W -f='${db:Status-Abbrev}' "$1" 2>/dev/null | grep -q '^ii'; }
packages=""
for p in libglut-dev:arm64 libgl-dev:arm64 libgl1-mesa-dri:arm64 crossbuild-essential-arm64 qemu-user; do
    if installed "$p"; then packages="$packages $p"; fi
done
echo "zarv: removing$packages, what apt installed for them alone, and the arm64 architecture"
export DEBIAN_FRONTEND=noninteractive
# shellcheck disable=SC2086
[ -z "$packages" ] || $sudo apt-get purge -y -q $packages >/dev/null
$sudo apt-get autoremove --purge -y -q >/dev/null
arm64() { dpkg-query -W -f='${binary:Package} ${db:Status-Abbrev}\n' 2>/dev/null | awk '$1 ~ /:arm64$/ && $2 !~ /^un/ { print $1 }'; }
# The C library's arm64 packages are protected, as the host's are, so apt
# keeps them: dpkg takes them, and refuses if anything still needs them.
left=$(arm64)
# shellcheck disable=SC2086
[ -z "$left" ] || $sudo dpkg --purge --force-remove-protected $left >/dev/null 2>&1 || {
    echo "zarv: arm64 packages that something else still needs remain, and so does the architecture:" $left >&2
    exit 1
}
$sudo dpkg --remove-architecture arm64
