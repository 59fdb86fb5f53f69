#!/usr/bin/env bash
# The history store's figures:
#   1. zantor-tape --db records a 1,000,000-step tape: steps/second, file size
#      (the default batched commits, and the window's durable path on a shorter tape);
#   2. the keep start (RestoreLastTotal + OpenHistoryDatabase) on that file,
#      after a clean close and after a killed run;
#   3. the durable RecordStep against a plain insert in one transaction (ratio).
#
#   bench/store_bench.sh [STEPS] [DURABLE_STEPS]
#
# Builds into $BUILD_DIR (default build-store-bench) with ZANTOR_BENCH=ON; works in
# $TMPDIR (default /tmp), which should be on the disk the program will use.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build-store-bench}
steps=${1:-1000000}
durable_steps=${2:-100000}
keep_goal_ms=50

cmake -S "$root" -B "$build" -G Ninja -DZANTOR_BENCH=ON -DCMAKE_BUILD_TYPE=Release >/dev/null
ninja -C "$build" zantor-tape store_bench >/dev/null
tape=$(find "$build" -type f -name zantor-tape -perm -u+x | head -n 1)
bench=$(find "$build" -type f -name store_bench -perm -u+x | head -n 1)

work=$(mktemp -d "${TMPDIR:-/tmp}/zantor-store-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

# A tape of additions and subtractions with two-digit fractions (fast mode).
make_tape() {
  awk -v n="$1" 'BEGIN { for (i = 0; i < n; i++) print (i % 5 == 4 ? "- " : "") (i * 7919) % 100000 }'
}
make_tape "$steps" > "$work/tape"
make_tape "$durable_steps" > "$work/tape-durable"

calc() { awk "BEGIN { printf \"%.6f\", $1 }"; }

# Seconds (with nanoseconds) of one run of "$@".
seconds() {
  local start end
  start=$(date +%s.%N)
  "$@"
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.6f", b - a }'
}

record() {  # FILE TAPE [ARGS...]
  local file=$1 input=$2
  shift 2
  "$tape" --db "$file" "$@" < "$input" > /dev/null
}

echo "== zantor-tape --db, $steps steps (commit every 10000)"
db="$work/QorvelDb.db"
t=$(seconds record "$db" "$work/tape")
rows=$(sqlite3 "$db" 'SELECT count(*) FROM MyData;')
size=$(stat -c %s "$db")
printf '  %.2f s, %.0f steps/s, %d rows, file %d bytes (%.1f MiB, %.1f bytes/row)\n' \
  "$t" "$(calc "$steps / $t")" "$rows" "$size" "$(calc "$size / 1048576")" \
  "$(calc "$size / $rows")"
[[ $rows -eq $steps ]] || { echo "store_bench: expected $steps rows, found $rows" >&2; exit 1; }

echo "== zantor-tape --db --commit-every 1 (the window's durable step), $durable_steps steps"
t=$(seconds record "$work/durable.db" "$work/tape-durable" --commit-every 1)
printf '  %.2f s, %.0f steps/s, %.1f us/step\n' "$t" "$(calc "$durable_steps / $t")" \
  "$(calc "$t * 1000000 / $durable_steps")"

echo "== zantor-tape --db --keep on the $steps-row file, empty tape (whole process)"
t=$(seconds record "$db" /dev/null --keep)
printf '  %.1f ms (process start, keep start, save, close)\n' "$(calc "$t * 1000")"

echo "== keep start and per-step cost (Google Benchmark)"
ZANTOR_BENCH_DB="$db" "$bench" --benchmark_filter='BM_KeepStart' --benchmark_counters_tabular=true
"$bench" --benchmark_filter='BM_DurableRecordStep|BM_PlainInsertInOneTransaction|BM_BatchedAppend' \
  --benchmark_format=json --benchmark_out="$work/steps.json" --benchmark_out_format=json \
  --benchmark_format=console
python3 - "$work/steps.json" "$keep_goal_ms" <<'PY'
import json, sys
runs = {b["name"].split("/")[0]: b for b in json.load(open(sys.argv[1]))["benchmarks"]}
durable = runs["BM_DurableRecordStep"]["real_time"]
plain = runs["BM_PlainInsertInOneTransaction"]["real_time"]
print(f"  durable RecordStep {durable:.2f} us/step, plain insert {plain:.3f} us/step, "
      f"ratio {durable / plain:.0f}x")
PY
