#!/bin/sh
# Installs the Debian packages Zarv needs to build and run; with --test also
# what its tests need, with --package what 'make package' needs, and with
# --bench, --lint, --capture, --fresh, --windows or --web what those targets need. Quiet and
# quick when everything is already there.
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
esac

missing=""
for p in $packages; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    case "$status" in
        *" installed") ;;
        *) missing="$missing $p" ;;
    esac
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
$sudo apt-get update -q >/dev/null
# shellcheck disable=SC2086
$sudo apt-get install -y -q --no-install-recommends $missing >/dev/null
