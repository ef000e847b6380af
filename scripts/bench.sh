#!/usr/bin/env bash
# Runs one benchmark: bench.sh NAME [arguments...]
# Builds the x86_64 target bench_NAME (tests/bench/NAME_bench.cpp) and runs it
# under Wine in a fresh prefix; an optional tests/bench/NAME.sh drives it
# instead (for benchmarks that need servers or tools outside Wine). The last
# line printed is the benchmark's figure.
set -euo pipefail
source "$(dirname "$0")/common.sh"
name=${1:?usage: bench.sh NAME [args...]}; shift

bash "$ROOT/scripts/setup.sh"
ossl=$(bash "$ROOT/scripts/build-openssl.sh" x86_64)
dir="$BUILD_ROOT/x86_64"
if [ ! -f "$dir/build.ninja" ]; then
  cmake -S "$ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-x86_64.cmake" \
    -DASSISTANT_OPENSSL_ROOT="$ossl" -DASSISTANT_TESTS=ON >/dev/null
fi
cmake --build "$dir" --target "bench_$name" >/dev/null

source "$ROOT/scripts/wine-env.sh"
wine_env_start
export BENCH_EXE="$dir/tests/bench/bench_$name.exe"
if [ -f "$ROOT/tests/bench/$name.sh" ]; then
  bash "$ROOT/tests/bench/$name.sh" "$@"
else
  "$WINE64" "$BENCH_EXE" "$@"
fi
