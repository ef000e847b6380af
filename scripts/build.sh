#!/usr/bin/env bash
# Configures and builds one or both targets: build.sh [i686|x86_64|all]
#   i686    the product (ZentravaAssistant.exe for Windows XP to 10)
#   x86_64  the same program plus the test suites, to run under Wine here
# BUILD_ROOT chooses where the build folders go (default: ./build).
set -euo pipefail
source "$(dirname "$0")/common.sh"

werror=OFF
[ "${CI:-}" = true ] && werror=ON
[ -n "${ASSISTANT_WERROR:-}" ] && werror=$ASSISTANT_WERROR

build_one() {
  local target=$1 tests=OFF
  [ "$target" = x86_64 ] && tests=ON
  local ossl; ossl=$(bash "$ROOT/scripts/build-openssl.sh" "$target")
  local dir="$BUILD_ROOT/$target"
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -S "$ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-$target.cmake" \
      -DASSISTANT_OPENSSL_ROOT="$ossl" -DASSISTANT_TESTS=$tests \
      -DASSISTANT_WERROR=$werror >/dev/null
  else
    cmake "$dir" -DASSISTANT_OPENSSL_ROOT="$ossl" -DASSISTANT_WERROR=$werror >/dev/null
  fi
  cmake --build "$dir" -- ${NINJA_FLAGS:-}
}

case "${1:-all}" in
  i686|x86_64) build_one "$1" ;;
  all) build_one i686; build_one x86_64 ;;
  *) die "usage: build.sh [i686|x86_64|all]" ;;
esac
