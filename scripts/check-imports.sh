#!/usr/bin/env bash
# Lists every DLL function an executable imports and fails on any that is not
# on the Windows XP SP3 allowlist (scripts/xp-imports.txt). A function newer
# than XP must be looked up with GetProcAddress instead; a new XP-era import is
# added to the list once it has been confirmed that XP SP3 exports it.
set -euo pipefail
exe=${1:?usage: check-imports.sh program.exe}
allow="$(dirname "$0")/xp-imports.txt"

imports=$(i686-w64-mingw32-objdump -p "$exe" | awk '
  /DLL Name:/ { dll = tolower($3); next }
  /^[ \t]*$/  { if (dll != "" && inlist) { dll = ""; inlist = 0 } ; next }
  /vma:  Hint\/Ord Member-Name/ { inlist = 1; next }
  inlist && NF >= 3 { print dll "!" tolower($NF) }
' | sort -u)
[ -n "$imports" ] || { echo "check-imports: no imports found in $exe" >&2; exit 1; }

bad=$(comm -23 <(echo "$imports") <(grep -v '^#' "$allow" | sed '/^$/d' | tr 'A-Z' 'a-z' | sort -u) || true)
count=$(echo "$imports" | wc -l)
if [ -n "$bad" ]; then
  echo "check-imports: $(basename "$exe") imports functions not on the Windows XP list:" >&2
  echo "$bad" | sed 's/^/  /' >&2
  exit 1
fi
echo "check-imports: $(basename "$exe"): $count imports, all available on Windows XP SP3"
