#!/bin/sh
# Static checks: formatting (.clang-format), clang-tidy (.clang-tidy) and
# cppcheck (options below). Exits non-zero on any finding.
# Usage: tools/lint.sh BUILD_DIR   (configured with compile commands)
set -eu
build=${1:?usage: $0 BUILD_DIR}
cd "$(dirname "$0")/.."

sources=$(git ls-files '*.cpp' '*.h')
# shellcheck disable=SC2086
clang-format --dry-run --Werror $sources
# shellcheck disable=SC2086
# The browser build's sources compile with emscripten, outside this database.
if ! report=$(clang-tidy -p "$build" --quiet $(git ls-files '*.cpp' ':!src/web') 2>&1); then
    echo "$report" | grep -v 'warnings generated' >&2
    exit 1
fi
cppcheck --enable=warning,performance,portability --std=c++17 --inline-suppr --error-exitcode=1 --quiet \
    -I src/field -I src/view -I src/render src bench tests
echo "lint: clean"
