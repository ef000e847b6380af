#!/usr/bin/env bash
# Runs the built suites under Wine in a fresh prefix with its own X display:
#   ctest-wine.sh [ctest arguments...]      e.g. ctest-wine.sh -R support_
# Uses the x86_64 build in $BUILD_ROOT (default ./build); builds nothing.
set -euo pipefail
source "$(dirname "$0")/common.sh"
source "$ROOT/scripts/wine-env.sh"

[ -f "$BUILD_ROOT/x86_64/CTestTestfile.cmake" ] || die "no test build in $BUILD_ROOT/x86_64 (run scripts/build.sh x86_64)"
wine_env_start
log "running the suites under Wine (prefix $WINEPREFIX)"
ctest --test-dir "$BUILD_ROOT/x86_64" --output-on-failure --no-tests=error -j"${ZT_JOBS:-2}" "$@"
