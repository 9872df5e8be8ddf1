#!/usr/bin/env bash
# Builds what the benchmark needs and runs it under Wine in the build's own
# prefix; prints one table of medians, minima and maxima.
# Usage: scripts/bench.sh [idle seconds, default 60]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TOLVANE_BUILD_DIR:-$root/build}

# The bench starts and stops the prefix's wineserver and runs the program,
# which would upset a test run using the same build.
if [ -e "$build/test-display" ]; then
  echo "A Wine session of $build is running (scripts/test.sh?); run the bench after it." >&2
  exit 1
fi
# An existing build keeps its settings; otherwise a plain one is made.
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" >/dev/null
fi
cmake --build "$build" -j "$(nproc)" --target tolvane_bench TolvaneWin >/dev/null

. "$root/scripts/wine-session.sh"
tolvane_session_start "$build"
out="$build/bench-output.txt"
status=0
"$WINE" "$build/bin/tolvane_bench.exe" "$@" </dev/null >"$out" 2>&1 || status=$?
cat "$out"
exit "$status"
