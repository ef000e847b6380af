#!/usr/bin/env bash
# The whole test run on a fresh machine: installs what is missing, builds the
# product (i686, with its Windows XP import check) and the test build
# (x86_64), then runs every suite under Wine in a fresh prefix.
set -euo pipefail
source "$(dirname "$0")/common.sh"

bash "$ROOT/scripts/setup.sh"
bash "$ROOT/scripts/build.sh" all
bash "$ROOT/scripts/check-imports.sh" "$BUILD_ROOT/i686/ZentravaAssistant.exe"

status=0
bash "$ROOT/scripts/ctest-wine.sh" "$@" || status=$?
if [ -f "$ROOT/page/package.json" ]; then
  (cd "$ROOT/page" && npm test --silent) || status=$?
fi
exit $status
