#!/usr/bin/env bash
# zantor-tape --tape on a 1,000,000-step history against sqlite3's own dump of
# MyData (the baseline, timed in the same run), both to /dev/null; then the
# window's figures from tape_bench.
#
#   bench/tape_bench.sh [STEPS]
#
# Builds into $BUILD_DIR (default build-tape-bench) with ZANTOR_BENCH=ON.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build-tape-bench}
steps=${1:-1000000}

cmake -S "$root" -B "$build" -G Ninja -DZANTOR_BENCH=ON -DZANTOR_GUI=ON \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
ninja -C "$build" zantor-tape tape_bench >/dev/null
tape=$(find "$build" -type f -name zantor-tape -perm -u+x | head -n 1)
bench=$(find "$build" -type f -name tape_bench -perm -u+x | head -n 1)

work=$(mktemp -d "${TMPDIR:-/tmp}/zantor-tape-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
awk -v n="$steps" 'BEGIN { for (i = 0; i < n; i++) print (i % 5 == 4 ? "- " : "") (i * 7919) % 100000 }' \
  | "$tape" --db "$work/h.db" >/dev/null

best() {
  local best=999999 start end t
  for _ in 1 2 3 4 5; do
    start=$(date +%s.%N)
    "$@" >/dev/null
    end=$(date +%s.%N)
    t=$(awk "BEGIN { print $end - $start }")
    best=$(awk "BEGIN { print ($t < $best) ? $t : $best }")
  done
  echo "$best"
}
base=$(best sqlite3 "$work/h.db" "select * from MyData")
ours=$(best "$tape" --db "$work/h.db" --tape)
awk -v b="$base" -v o="$ours" -v n="$steps" 'BEGIN {
  printf "%d steps: sqlite3 select * %.3f s, zantor-tape --tape %.3f s: %.2fx (goal <= 1.5x): %s\n",
         n, b, o, o / b, (o / b <= 1.5) ? "met" : "NOT met" }'

QT_QPA_PLATFORM=offscreen "$bench" "$steps"
