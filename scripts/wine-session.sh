# Sourced by the run and test scripts: a private Wine prefix in the build
# folder, one persistent wineserver and an Xvfb display, all stopped again on exit.
# Everything Wine starts gets /dev/null as its standard streams: its service
# processes would otherwise keep the caller's pipes open.

WINE=/usr/lib/wine/wine64
WINESERVER=$(command -v wineserver || echo /usr/lib/wine/wineserver64)
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

tolvane_xvfb_pid=""

tolvane_session_stop() {
  if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
    "$WINESERVER" -k </dev/null >/dev/null 2>&1 || true
  fi
  if [ -n "$tolvane_xvfb_pid" ]; then
    kill "$tolvane_xvfb_pid" 2>/dev/null || true
    wait "$tolvane_xvfb_pid" 2>/dev/null || true
    tolvane_xvfb_pid=""
  fi
  [ -n "${TOLVANE_BUILD_DIR:-}" ] && rm -f "$TOLVANE_BUILD_DIR/test-display"
}

tolvane_start_xvfb() {
  local fdfile="$TOLVANE_BUILD_DIR/.xvfb-display" i
  rm -f "$fdfile"
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$fdfile" </dev/null >/dev/null 2>&1 &
  tolvane_xvfb_pid=$!
  for i in $(seq 1 100); do
    [ -s "$fdfile" ] && break
    sleep 0.1
  done
  if [ ! -s "$fdfile" ]; then
    echo "Xvfb did not start" >&2
    return 1
  fi
  export DISPLAY=":$(head -n1 "$fdfile" | tr -d '[:space:]')"
}

# tolvane_session_start <build dir>
tolvane_session_start() {
  TOLVANE_BUILD_DIR=$(cd "$1" && pwd)
  export WINEPREFIX="$TOLVANE_BUILD_DIR/wineprefix"
  trap tolvane_session_stop EXIT
  trap 'exit 130' INT TERM

  # One display for the whole session; the tray works only under X.
  # TOLVANE_USE_DISPLAY=1 keeps an existing DISPLAY instead.
  if [ "${TOLVANE_USE_DISPLAY:-0}" != 1 ] || [ -z "${DISPLAY:-}" ]; then
    tolvane_start_xvfb || return 1
  fi
  echo "$DISPLAY" >"$TOLVANE_BUILD_DIR/test-display"

  # Boot the prefix once, before anything runs in parallel.
  if [ ! -f "$WINEPREFIX/.tolvane-ready" ]; then
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    "$WINE" wineboot -i </dev/null >/dev/null 2>&1
    # Wine has no "Segoe UI"; badges and the tray letter need a stand-in.
    "$WINE" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'Segoe UI' /t REG_SZ /d 'DejaVu Sans' /f \
      </dev/null >/dev/null 2>&1
    "$WINESERVER" -w </dev/null >/dev/null 2>&1
    touch "$WINEPREFIX/.tolvane-ready"
  fi
  "$WINESERVER" -p </dev/null >/dev/null 2>&1
  # Warm the server (services start on the first launch).
  "$WINE" cmd /c exit 0 </dev/null >/dev/null 2>&1 || true
}
