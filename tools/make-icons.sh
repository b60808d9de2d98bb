#!/bin/sh
# Renders the icon's PNG sizes from its one source, data/icons/zarv.svg: 16,
# 32, 48 and 256 for the Windows icon group, with 64 and 128 for Linux
# launchers and AppStream.
# Usage: tools/make-icons.sh
set -eu
cd "$(dirname "$0")/../data/icons"
for size in 16 32 48 64 128 256; do
    rsvg-convert -w "$size" -h "$size" zarv.svg -o "zarv-$size.png"
done
echo "wrote data/icons/zarv-{16,32,48,64,128,256}.png"
