#!/bin/sh
# Prints the tests that CTest's last run in BUILD_DIR skipped, each with the
# reason it gave, and how many; nothing if none was skipped.
# Usage: tools/skip-reasons.sh BUILD_DIR
log=${1:?usage: $0 BUILD_DIR}/Testing/Temporary/LastTest.log
[ -f "$log" ] || exit 0
awk '/^\[ RUN      \] / { name = $4 }
     /: Skipped$/ { getline reason; reasons[++n] = "  " name ": " reason }
     END { if (n > 0) { print n " skipped, each with its reason:"; for (i = 1; i <= n; ++i) print reasons[i] } }' "$log"
