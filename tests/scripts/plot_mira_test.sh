#!/usr/bin/env bash
# The operator's picture of a MIRA run is a PNG drawn from a record; a record that is not
# there is refused with a reason.
set -euo pipefail
source_dir=${ORVIX_SOURCE_DIR:?}
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT

printf 'seconds,opacity,average,setvalue,power\n0,3.1,3.0,10,120.5\n60,9.8,8.7,10,80.2\n120,10.3,9.9,10,78.0\n' \
  >"$dir/run.csv"
[ "$("$source_dir/scripts/plot-mira" "$dir/run.csv")" = "$dir/run.png" ] || { echo "FAIL: picture path"; exit 1; }
[ "$(head -c 8 "$dir/run.png" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] || { echo "FAIL: not a PNG"; exit 1; }
[ "$(stat -c %s "$dir/run.png")" -gt 10000 ] || { echo "FAIL: an empty picture"; exit 1; }
if "$source_dir/scripts/plot-mira" "$dir/none.csv" 2>"$dir/err"; then echo "FAIL: a missing record was drawn"; exit 1; fi
grep -q "cannot read $dir/none.csv" "$dir/err" || { echo "FAIL: no reason given"; exit 1; }
echo "PASS"
