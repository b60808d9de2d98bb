#!/bin/sh
# Cross-builds zarv.exe for 64-bit Windows with Debian's mingw-w64, against
# freeglut 3.4 built as a static library from Debian's own source package,
# packs it into zarv-1.0-win64.zip and checks it under wine.
# Usage: tools/build-windows.sh OUT_DIR WINE_CHECK
set -eu
out=$(mkdir -p "${1:?usage: $0 OUT_DIR WINE_CHECK}" && cd "$1" && pwd)
check=${2:?usage: $0 OUT_DIR WINE_CHECK}
top=$(cd "$(dirname "$0")/.." && pwd)
toolchain="$top/cmake/mingw-w64.cmake"

# freeglut's source through an apt setup of our own (its own sources list,
# state and cache), so the machine's apt is left as it was. Kept for next time.
src="$out/freeglut-src"
if [ ! -d "$src/freeglut-3.4.0" ]; then
    mirror=$("$top/tools/debian-mirror.sh")
    apt="$out/apt"
    mkdir -p "$apt/state/lists/partial" "$apt/cache/archives/partial" "$src"
    echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $mirror bookworm main" \
        >"$apt/sources.list"
    set -- -o Dir::Etc::SourceList="$apt/sources.list" -o Dir::Etc::SourceParts="$apt/none" \
        -o Dir::State="$apt/state" -o Dir::Cache="$apt/cache" -o Debug::NoLocking=1
    apt-get "$@" update -q >/dev/null
    (cd "$src" && apt-get "$@" source -q freeglut >/dev/null 2>&1)
fi

freeglut="$out/freeglut"
if [ ! -f "$freeglut/lib/libglut.a" ]; then
    cmake -S "$src/freeglut-3.4.0" -B "$out/freeglut-build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE=Release -DFREEGLUT_BUILD_SHARED_LIBS=OFF -DFREEGLUT_BUILD_DEMOS=OFF \
        -DFREEGLUT_REPLACE_GLUT=ON -DCMAKE_INSTALL_PREFIX="$freeglut" >/dev/null
    cmake --build "$out/freeglut-build" --parallel >/dev/null
    cmake --install "$out/freeglut-build" >/dev/null
fi

# The host's Linux glut.pc must not be found in place of freeglut's.
PKG_CONFIG_LIBDIR="$freeglut/lib/pkgconfig" cmake -S "$top" -B "$out/zarv" \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_FIND_ROOT_PATH="$freeglut" \
    -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DZARV_WERROR="${ZARV_WERROR:-OFF}" >/dev/null
cmake --build "$out/zarv" --parallel
x86_64-w64-mingw32-strip -o "$out/zarv.exe" "$out/zarv/zarv.exe"

# A Windows program: the GUI subsystem (no console), the icon freeglut and
# Explorer show in the sizes Windows uses, the project's version, and the
# manifest that makes it sharp on scaled displays.
fail() { echo "windows: $*" >&2; exit 1; }
x86_64-w64-mingw32-objdump -p "$out/zarv.exe" | grep -q '^Subsystem.*(Windows GUI)' ||
    fail "zarv.exe is not a Windows GUI program"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$out/zarv/CMakeCache.txt")
wrestool -x --type=14 --name=GLUT_ICON "$out/zarv.exe" >"$out/icon.ico" || fail "no icon named GLUT_ICON"
sizes=$(icotool -l "$out/icon.ico" | sed -n 's/.*--width=\([0-9]*\).*/\1/p' | sort -n | tr '\n' ' ')
[ "$sizes" = "16 32 48 256 " ] || fail "icon sizes: $sizes"
wrestool -x --raw --type=16 "$out/zarv.exe" | tr -d '\000' | grep -aq "ProductVersion$version" ||
    fail "no version resource with version $version"
manifest=$(wrestool -x --raw --type=24 "$out/zarv.exe")
for setting in '<dpiAware[^>]*>true/pm<' '<dpiAwareness[^>]*>PerMonitorV2' '<supportedOS'; do
    echo "$manifest" | grep -q "$setting" || fail "the manifest lacks $setting"
done
echo "windows: zarv.exe, $(stat -c %s "$out/zarv.exe") bytes, Windows GUI; resources:"
wrestool -l "$out/zarv.exe" | sed 's/^/    /'

rm -rf "$out/zip" "$out/zarv-1.0-win64.zip"
mkdir -p "$out/zip/zarv-1.0"
cp "$out/zarv.exe" "$top/LICENSE" "$out/zip/zarv-1.0/"
cp "$top/data/README-windows.txt" "$out/zip/zarv-1.0/README.txt"
(cd "$out/zip" && zip -q -r ../zarv-1.0-win64.zip zarv-1.0)
echo "windows: $out/zarv-1.0-win64.zip"

# wine's first start in a new prefix sets it up, which takes a while.
export WINEPREFIX="$out/wineprefix" WINEDEBUG=-all
echo "windows: checking zarv.exe under wine"
"$check" "$out/zarv.exe"
