# Sourced: creates a fresh Wine prefix for this run, keeps its wineserver warm,
# starts an X display for windows and dialogs, and tears all of it down on exit.
# Callers use `wine_env_start` and then run programs with "$WINE64".

wine_env_stop() {
  if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
    [ -n "${ZT_KEEP_PREFIX:-}" ] || rm -rf "$WINEPREFIX"
  fi
  if [ -n "${ZT_XVFB_PID:-}" ]; then
    kill "$ZT_XVFB_PID" >/dev/null 2>&1 || true
    wait "$ZT_XVFB_PID" 2>/dev/null || true
    ZT_XVFB_PID=
  fi
}

wine_env_start() {
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="winedbg.exe=d"
  export WINEARCH=win64
  export WINEPREFIX; WINEPREFIX=$(mktemp -d /tmp/zentrava-wine.XXXXXX)
  trap wine_env_stop EXIT

  # A display of our own; the number is chosen free and the server stopped by
  # its own PID at the end.
  local n=90
  while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  ZT_XVFB_PID=$!
  export DISPLAY=":$n"
  local i
  for i in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done

  # No Mono or Gecko installers: neither is available here, and their
  # prompts would stall a headless run.
  WINEDLLOVERRIDES="mscoree=d;mshtml=d;winedbg.exe=d" "$WINE64" wineboot -i >/dev/null 2>&1
  wineserver -w
  "$WINE64" winecfg -v "${ZT_WINVER:-win10}" >/dev/null 2>&1
  wineserver -w
  wineserver -p >/dev/null 2>&1
  # Start the prefix's own services (rpcss, plugplay, winedevice...) now, with
  # their output going nowhere: started by the first test instead, they would
  # inherit its output pipe and CTest would wait for them until the timeout.
  "$WINE64" cmd /c exit </dev/null >/dev/null 2>&1
  "$WINE64" rundll32.exe user32.dll,MessageBeep </dev/null >/dev/null 2>&1 || true
}
