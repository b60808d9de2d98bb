#!/bin/sh
# Installs the Debian packages Zarv needs to build and run; with --test also
# what its tests need, with --package what 'make package' needs, and with
# --bench, --lint, --capture, --fresh, --windows, --web or --arm64 what those targets need.
# Quiet and quick when everything is already there.
set -eu

packages="cmake make g++ pkg-config libglut-dev libgl-dev libglu1-mesa-dev libgl1-mesa-dri"
# CPack's Debian generator works out the dependencies with file and dpkg-shlibdeps.
package_packages="file dpkg-dev"
test_packages="$package_packages googletest libgtest-dev libx11-dev xvfb xdotool openbox weston xwayland valgrind man-db
    appstream desktop-file-utils lintian"
case "${1:-}" in
    --test) packages="$packages $test_packages" ;;
    --package) packages="$packages $package_packages" ;;
    --bench) packages="$packages $test_packages libbenchmark-dev bc x11-utils" ;;
    --lint) packages="$packages $test_packages libbenchmark-dev clang-tidy clang-format cppcheck" ;;
    --capture) packages="$packages xvfb xdotool openbox x11-apps imagemagick webp librsvg2-bin" ;;
    --fresh) packages="debootstrap xvfb openbox xdotool" ;;
    --windows) packages="$packages $test_packages g++-mingw-w64-x86-64-posix wine64 zip imagemagick icoutils" ;;
    --web) packages="$packages $test_packages emscripten chromium chromium-driver webkit2gtk-driver firefox-esr python3-numpy
        python3-pil" ;;
    # The cross toolchain, the arm64 libraries beside the host's (multiarch),
    # and qemu-user to run the result; Xvfb and python3 for its check.
    --arm64) packages="$packages $package_packages lintian xvfb xdotool openbox python3 crossbuild-essential-arm64
        libglut-dev:arm64 libgl-dev:arm64 libgl1-mesa-dri:arm64 qemu-user" ;;
esac

# A name without an architecture is the host's: with arm64 beside it, dpkg
# knows both of a package that comes in each.
native=$(dpkg --print-architecture)
missing=""
for p in $packages; do
    dpkg-query -W -f='${binary:Package} ${db:Status-Abbrev}\n' "$p" 2>/dev/null |
        awk -v p="$p" -v a="$native" '($1 == p || $1 == p ":" a) && $2 == "ii" { found = 1 } END { exit !found }' ||
        missing="$missing $p"
done
[ -z "$missing" ] && exit 0

if ! command -v apt-get >/dev/null 2>&1; then
    echo "zarv: missing packages:$missing" >&2
    echo "zarv: this script installs them with apt-get (Debian/Ubuntu); install their equivalents by hand." >&2
    exit 1
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null 2>&1 || { echo "zarv: need root or sudo to install:$missing" >&2; exit 1; }
    sudo="sudo"
fi

echo "zarv: installing$missing"
export DEBIAN_FRONTEND=noninteractive
added=""
if [ "${1:-}" = --arm64 ] && ! dpkg --print-foreign-architectures | grep -qx arm64; then
    $sudo dpkg --add-architecture arm64
    added=arm64
fi
$sudo apt-get update -q >/dev/null
if [ "${1:-}" = --arm64 ]; then
    # Mesa's packages for both architectures must be of one version. apt
    # brings them there itself within one suite (upgrading the host's if
    # need be), but not where the host's came from another (backports):
    # then say which in one line, and leave nothing half-installed.
    # shellcheck disable=SC2086
    if ! plan=$(apt-get install -s -q --no-install-recommends $missing 2>&1); then
        why=$(echo "$plan" | grep '^E:' | head -1)
        for p in $(dpkg-query -W -f='${db:Status-Abbrev} ${binary:Package}\n' 'libgl*' 'libegl*' 'mesa-*' 2>/dev/null |
            awk '$1 == "ii" && $2 !~ /:arm64$/ { print $2 }'); do
            host=$(dpkg-query -W -f='${Version}' "$p")
            arm=$(apt-cache policy "${p%:*}:arm64" | awk '/Candidate:/ { print $2 }')
            if [ -n "$arm" ] && [ "$arm" != "(none)" ] && [ "$arm" != "$host" ]; then
                why="zarv: ${p%:*} is $host on this host but $arm for arm64: install the arm64 packages from the suite the host's came from"
                break
            fi
        done
        echo "$why" >&2
        [ -z "$added" ] || $sudo dpkg --remove-architecture arm64
        exit 1
    fi
fi
# shellcheck disable=SC2086
$sudo apt-get install -y -q --no-install-recommends $missing >/dev/null
