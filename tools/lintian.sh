#!/bin/sh
# Debian's own checks on a package of Zarv's: errors and warnings fail, but
# for the maintainer, a placeholder until there is one. Debian 13's lintian
# also runs appstreamcli, whose one warning that only a published project
# can meet (no homepage) the package test accepts on its own.
# Usage: tools/lintian.sh DEB
set -eu
suppressed=bogus-mail-host,bogus-mail-host-in-debian-changelog
if lintian-explain-tags appstream-metadata-validation-failed >/dev/null 2>&1; then
    suppressed="$suppressed,appstream-metadata-validation-failed"
fi
lintian --fail-on error,warning --suppress-tags "$suppressed" "${1:?usage: $0 DEB}" >&2
