#!/usr/bin/env bash
# The program's main job on this machine: installs what is missing, builds the
# product for Windows (i686) and the x86_64 program that Wine can run here,
# and starts the x86_64 program under Wine.
#   run.sh           set up, build both, start the program under Wine in a
#                    fresh prefix with its own X display. The run is bounded:
#                    the program quits by itself after ZT_RUN_SECONDS (default
#                    20; 0 = until its window is closed). ZT_RUN_ARGS passes
#                    one start argument ("quicklink", "ukey", "scan", "help").
#   run.sh build     set up and build only.
set -euo pipefail
source "$(dirname "$0")/common.sh"

bash "$ROOT/scripts/setup.sh"
bash "$ROOT/scripts/build.sh" all
log "product: $BUILD_ROOT/i686/ZentravaAssistant.exe"
log "x86_64:  $BUILD_ROOT/x86_64/ZentravaAssistant.exe"

if [ "${1:-}" != "build" ]; then
  exe="$BUILD_ROOT/x86_64/ZentravaAssistant.exe"
  [ -f "$exe" ] || die "no x86_64 program at $exe"
  source "$ROOT/scripts/wine-env.sh"
  wine_env_start
  seconds=${ZT_RUN_SECONDS:-20}
  # The program reads this itself and quits through its normal exit path.
  if [ "$seconds" -gt 0 ]; then export ZENTRAVA_EXIT_AFTER_SECONDS=$seconds; fi
  log "starting under Wine (prefix $WINEPREFIX, display $DISPLAY, ${seconds}s)"
  status=0
  if [ "$seconds" -gt 0 ]; then
    # A guard in case the program hangs instead of quitting.
    timeout $((seconds + 60)) "$WINE64" "$exe" ${ZT_RUN_ARGS:-} || status=$?
  else
    "$WINE64" "$exe" ${ZT_RUN_ARGS:-} || status=$?
  fi
  log "program ended with status $status"
  exit "$status"
fi
