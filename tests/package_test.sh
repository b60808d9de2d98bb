#!/bin/sh
# Builds the Debian package from the build tree, checks its fields and
# contents, then unpacks it into a scratch root and runs the installed
# program on a private Xvfb under openbox until Esc ends it.
# Usage: package_test.sh BUILD_DIR
set -eu
build=${1:?usage: $0 BUILD_DIR}
work=$(mktemp -d)
pids=""
trap 'kill $pids 2>/dev/null || true; rm -rf "$work"' EXIT
fail() { echo "package test: $*" >&2; exit 1; }

(cd "$build" && cpack -G DEB -B "$work/out" >/dev/null)
deb=$(ls "$work"/out/zarv_1.0_*.deb) || fail "no zarv_1.0_*.deb"

[ "$(dpkg-deb -f "$deb" Package)" = zarv ] || fail "package name"
[ "$(dpkg-deb -f "$deb" Version)" = 1.0 ] || fail "version"
[ "$(dpkg-deb -f "$deb" Section)" = games ] || fail "section"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libc6 libglut3.12; do
    echo "$depends" | grep -q "$lib" || fail "Depends lacks $lib: $depends"
done
echo "$depends" | grep -Eq 'gtest|benchmark|libx11-dev' && fail "Depends has build-only packages: $depends"

dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sort >"$work/files"
cat >"$work/expected" <<'LIST'
./usr/games/zarv
./usr/share/applications/zarv.desktop
./usr/share/doc/zarv/changelog.gz
./usr/share/doc/zarv/copyright
./usr/share/icons/hicolor/128x128/apps/zarv.png
./usr/share/icons/hicolor/16x16/apps/zarv.png
./usr/share/icons/hicolor/256x256/apps/zarv.png
./usr/share/icons/hicolor/32x32/apps/zarv.png
./usr/share/icons/hicolor/48x48/apps/zarv.png
./usr/share/icons/hicolor/64x64/apps/zarv.png
./usr/share/icons/hicolor/scalable/apps/zarv.svg
./usr/share/man/man6/zarv.6.gz
./usr/share/metainfo/io.github.zarv.zarv.metainfo.xml
LIST
diff -u "$work/expected" "$work/files" >&2 || fail "unexpected contents"

"$(dirname "$0")/../tools/lintian.sh" "$deb" || fail "lintian"

# apt would find everything the package depends on.
apt-get install -s -q "$deb" >/dev/null 2>&1 || fail "apt cannot install it: $(apt-get install -s "$deb" 2>&1 | tail -3)"

root="$work/root"
dpkg-deb -x "$deb" "$root"
warnings=$(MANWIDTH=80 man --warnings -l "$root/usr/share/man/man6/zarv.6.gz" 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "man page warnings: $warnings"
# AppStream 1.0 warns that there is no homepage, which only a published
# project has; 0.16 does not. Any other warning or error fails.
if ! report=$(appstreamcli validate --no-net "$root/usr/share/metainfo/io.github.zarv.zarv.metainfo.xml" 2>&1); then
    problems=$(echo "$report" | grep -E '^[EW]:' || true)
    if [ -z "$problems" ] || echo "$problems" | grep -qv ': url-homepage-missing$'; then
        fail "metainfo does not validate: $report"
    fi
fi
if command -v desktop-file-validate >/dev/null 2>&1; then
    desktop-file-validate "$root/usr/share/applications/zarv.desktop" || fail "desktop file does not validate"
fi

. "$(dirname "$0")/../tools/xvfb-desktop.sh"
start_desktop 800x600
"$root/usr/games/zarv" &
zarv=$!
timeout 10 xdotool search --sync --name '^Zarv 1\.0$' >/dev/null || fail "installed zarv opened no window"
sleep 1
xdotool key Escape
status=0
wait "$zarv" || status=$?
[ "$status" -eq 0 ] || fail "installed zarv ended with status $status"
echo "package test: $(basename "$deb") passed"
