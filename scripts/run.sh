#!/usr/bin/env bash
# The program's main job on this machine: installs what is missing and builds
# the product for Windows (i686) and the x86_64 program that Wine can run here.
set -euo pipefail
source "$(dirname "$0")/common.sh"

bash "$ROOT/scripts/setup.sh"
bash "$ROOT/scripts/build.sh" all
log "product: $BUILD_ROOT/i686/ZentravaAssistant.exe"
log "x86_64:  $BUILD_ROOT/x86_64/ZentravaAssistant.exe"
