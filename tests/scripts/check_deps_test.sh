#!/usr/bin/env bash
# The dependency check passes on the project's package list and, on a copy without the
# package that pymodbus's client imports but Debian only recommends, fails naming both.
set -euo pipefail
source_dir=${ORVIX_SOURCE_DIR:?}
copy=$(mktemp)
trap 'rm -f "$copy"' EXIT

"$source_dir/scripts/check-deps"

grep -v '^python3-serial-asyncio\b' "$source_dir/scripts/apt-packages" >"$copy"
status=0
out=$("$source_dir/scripts/check-deps" --packages "$copy") || status=$?
echo "$out"
[ "$status" = 1 ] || { echo "FAIL: the check passed without python3-serial-asyncio"; exit 1; }
grep -q 'needs module serial_asyncio from Debian package python3-serial-asyncio' <<<"$out" ||
  { echo "FAIL: the module and its package are not named"; exit 1; }
echo "PASS"
