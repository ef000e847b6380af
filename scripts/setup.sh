#!/usr/bin/env bash
# Installs everything the build and the tests need from Debian's packages and
# the npm registry, then builds the cached libcrypto for both targets.
# Idempotent and quiet when everything is already there.
set -euo pipefail
source "$(dirname "$0")/common.sh"

packages=(
  cmake ninja-build python3 dpkg-dev
  g++-mingw-w64-i686-win32 gcc-mingw-w64-i686-win32
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix
  binutils-mingw-w64-i686 binutils-mingw-w64-x86-64 mingw-w64-tools
  wine wine64 xvfb xauth googletest
  openssl
)
if [ -f "$ROOT/page/package.json" ]; then
  # the page tests drive Debian's Chromium; a CJK font makes their
  # screenshots readable
  packages+=(nodejs chromium fonts-wqy-microhei)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  log "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq >/dev/null
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
command -v npm >/dev/null 2>&1 || { [ -f "$ROOT/page/package.json" ] && apt-get install -y -qq npm >/dev/null; }

for t in i686 x86_64; do
  bash "$ROOT/scripts/build-openssl.sh" "$t" >/dev/null
done

if [ -f "$ROOT/page/package.json" ]; then
  # The lock file pins every page library; `npm ci` is a no-op when in sync.
  if [ ! -d "$ROOT/page/node_modules" ] || \
     [ "$ROOT/page/package-lock.json" -nt "$ROOT/page/node_modules/.package-lock.json" ]; then
    (cd "$ROOT/page" && npm ci --no-audit --no-fund --loglevel=error >/dev/null)
  fi
fi
