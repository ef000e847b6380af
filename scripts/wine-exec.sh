#!/usr/bin/env bash
# CTest's emulator: runs one Windows program under wine64 and passes on its
# output and exit code. The output goes through a file, not straight into
# CTest's pipe: Wine services that a program starts on demand inherit its
# output handles and outlive it, and CTest would wait on them until timeout.
out=$(mktemp "${TMPDIR:-/tmp}/wine-exec.XXXXXX")
/usr/lib/wine/wine64 "$@" </dev/null >"$out" 2>&1
rc=$?
cat "$out"
rm -f "$out"
exit $rc
