#!/usr/bin/env bash
# Builds TolvaneWin, its updater and the tests, then runs every test under Wine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TOLVANE_BUILD_DIR:-$root/build}

cmake -S "$root" -B "$build" -DTOLVANE_BUILD_TESTS=ON >/dev/null
cmake --build "$build" -j "$(nproc)"

. "$root/scripts/wine-session.sh"
tolvane_session_start "$build"
ctest --test-dir "$build" --output-on-failure -j "$(nproc)" "$@"
