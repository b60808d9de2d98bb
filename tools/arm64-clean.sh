#!/bin/sh
# Takes back what 'make arm64' added to this system: every arm64 package,
# the cross toolchain and qemu-user, then the arm64 architecture itself.
# The host's Mesa stays at the version apt moved it to, the suite's newest.
set -eu
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
if ! dpkg --print-foreign-architectures | grep -qx arm64; then
    echo "zarv: the arm64 architecture is not there: nothing to take back"
    exit 0
fi
packages=$(dpkg-query -W -f='${binary:Package} ${db:Status-Abbrev}\n' 2>/dev/null |
    awk '$1 ~ /:arm64$/ && $2 ~ /^[ihr]/ { print $1 }')
for p in crossbuild-essential-arm64 qemu-user; do
    dpkg-query -W -f='${db:Status-Abbrev}' "$p" 2>/dev/null | grep -q '^ii' && packages="$packages $p"
done
echo "zarv: removing$(echo " $packages" | tr '\n' ' ')and the arm64 architecture"
export DEBIAN_FRONTEND=noninteractive
# shellcheck disable=SC2086
[ -z "$packages" ] || $sudo apt-get purge -y -q $packages >/dev/null
$sudo apt-get autoremove -y -q >/dev/null
$sudo dpkg --remove-architecture arm64
