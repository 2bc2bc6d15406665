#!/usr/bin/env bash
# The database daemon at idle: time from start to "/tmp/SHM_CREATED" and to a sorted
# store, CPU use over one minute (percent of one core), and the loop slots per second.
#   bench/database_idle.sh [<build bin dir>]     (default build/bin)
set -euo pipefail

source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bin=$(cd "${1:-$source_dir/build/bin}" && pwd)
image=$(mktemp -d /tmp/orvix-bench-XXXXXX)
key=$((0x0E000000 + $$))
cleanup() {
  if [ -n "${pid:-}" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
  ipcrm -M "$key" 2>/dev/null || true
  rm -rf "$image"
}
trap cleanup EXIT

"$source_dir/unit/lay-out-image" "$image" "$bin"
export ORVIX_ROOT=$image ORVIX_SHM_KEY=$key PATH=$image/bin:$bin:$PATH

now_ms() { date +%s%3N; }
start=$(now_ms)
"$bin/database" -c /var/lib/orvix/orvix.ini >"$image/var/log/database.log" 2>&1 &
pid=$!
until [ -e "$image/tmp/SHM_CREATED" ]; do sleep 0.001; done
flagged=$(now_ms)
until grep -q '^build date ' "$image/var/log/database.log"; do sleep 0.001; done
sorted=$(now_ms)
echo "start-up: /tmp/SHM_CREATED after $((flagged - start)) ms, sorted store after $((sorted - start)) ms"

slots() {  # tag 1398 of the store
  python3 -c "
import ctypes
libc = ctypes.CDLL(None); libc.shmat.restype = ctypes.c_void_p
libc.shmat.argtypes = [ctypes.c_int, ctypes.c_void_p, ctypes.c_int]
base = libc.shmat(libc.shmget($key, 120216, 0), None, 0)
print(ctypes.c_int32.from_address(base + 4 * 1398).value)"
}
ticks() { awk '{print $14 + $15}' "/proc/$pid/stat"; }

settle=${ORVIX_BENCH_SETTLE:-100}
echo "loop slots per second while the timing settles ($settle s):"
for second in $(seq 1 "$settle"); do
  sleep 1
  printf '%s ' "$(slots)"
done
echo
before=$(ticks)
sleep 60
after=$(ticks)
hz=$(getconf CLK_TCK)
echo "idle CPU over 60 s: $(awk -v t=$((after - before)) -v hz="$hz" 'BEGIN { printf "%.2f", 100 * t / hz / 60 }') % of one core"
echo "loop slots per second now: $(slots)"
