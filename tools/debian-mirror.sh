#!/bin/sh
# Prints the Debian mirror the machine's own apt uses (one-line or deb822
# sources), for the scripts that fetch from it themselves.
mirror=$(cat /etc/apt/sources.list /etc/apt/sources.list.d/*.sources 2>/dev/null |
    awk '/^deb / && $2 ~ /^http/ { print $2; exit } /^URIs:/ && $2 ~ /debian\/?$/ { print $2; exit }')
[ -n "$mirror" ] || { echo "no Debian mirror in /etc/apt" >&2; exit 1; }
echo "$mirror"
