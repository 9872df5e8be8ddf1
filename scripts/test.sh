#!/usr/bin/env bash
# Builds TolvaneWin, its updater and the tests, then runs every test under Wine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TOLVANE_BUILD_DIR:-$root/build}

# The test build reads its release feed from a loopback server of the tests, on
# a port that CMake derives from the build folder; dropping the cached URL lets
# a folder set up with an older fixed port take its own.
cmake -S "$root" -B "$build" -DTOLVANE_BUILD_TESTS=ON -UTOLVANE_UPDATE_FEED_URL >/dev/null
cmake --build "$build" -j "$(nproc)"

# Without its preloader, Wine leaves the loader's randomly placed heap free to
# take the address where every process maps its shared user data; about one
# process start in several thousand then fails.
[ -e /usr/lib/wine/wine64-preloader ] ||
  echo "test.sh: wine64-preloader is missing (scripts/setup.sh installs it); Wine processes will now and then fail to start" >&2

. "$root/scripts/wine-session.sh"
tolvane_session_start "$build"
# Every test runs once: a failure fails the run and prints the test's whole log.
ctest --test-dir "$build" --output-on-failure -j "$(nproc)" "$@"
