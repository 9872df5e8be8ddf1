#!/usr/bin/env bash
# Builds TolvaneWin.exe and runs it under Wine in the build's own prefix.
# With a display it shows there; on a headless machine it runs under Xvfb.
# Ends when the program exits (tray menu "Exit", or Ctrl-C).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TOLVANE_RUN_BUILD_DIR:-$root/build/run}

cmake -S "$root" -B "$build" -DTOLVANE_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target TolvaneWin TolvaneWinUpdater 2>/dev/null ||
  cmake --build "$build" -j "$(nproc)" --target TolvaneWin

. "$root/scripts/wine-session.sh"
[ -n "${DISPLAY:-}" ] && export TOLVANE_USE_DISPLAY=1
tolvane_session_start "$build"
echo "TolvaneWin is running (display $DISPLAY); stop it with Ctrl-C or its tray menu's Exit."
"$WINE" "$build/bin/TolvaneWin.exe" </dev/null >/dev/null 2>&1
