# Shared settings for the project's scripts; sourced, never run.
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
CACHE_DIR=${ZENTRAVA_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/zentrava-assistant}
BUILD_ROOT=${BUILD_ROOT:-$ROOT/build}
WINE64=/usr/lib/wine/wine64

log() { printf '[%s] %s\n' "$(basename "$0")" "$*" >&2; }
die() { log "error: $*"; exit 1; }
