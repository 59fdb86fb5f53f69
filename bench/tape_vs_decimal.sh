#!/bin/bash
# zantor-tape against python3's decimal module on the same million-line tape:
# both must print the same rows; prints both times and their ratio.
#
#   tape_vs_decimal.sh [ZANTOR_TAPE] [LINES] [RUNS]
#
# The best of RUNS runs (default 3) counts for each side, in CPU time (user +
# system) since the machine is shared; wall times are shown beside.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
tape_bin=${1:-}
if [[ -z $tape_bin ]]; then
  for candidate in "$here/../build-engine/bin/zantor-tape" "$here/../build-engine/tape/zantor-tape"; do
    if [[ -x $candidate ]]; then
      tape_bin=$candidate
      break
    fi
  done
fi
lines=${2:-1000000}
runs=${3:-3}
seed=20240611
goal=0.25

if [[ ! -x $tape_bin ]]; then
  echo "tape_vs_decimal: no zantor-tape at '$tape_bin'" >&2
  exit 2
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

py=$here/tape_vs_decimal.py
python3 "$py" generate "$lines" "$seed" > "$work/tape"

read -r tape_wall tape_cpu < <(python3 "$py" time "$runs" "$work/tape" "$work/tape.out" "$tape_bin")
read -r py_wall py_cpu < <(python3 "$py" time "$runs" "$work/tape" "$work/decimal.out" \
  python3 "$py" compute)

if ! cmp -s "$work/tape.out" "$work/decimal.out"; then
  echo "tape_vs_decimal: outputs differ (first lines shown)" >&2
  diff "$work/tape.out" "$work/decimal.out" | head -20 >&2
  exit 1
fi

rows=$(wc -l < "$work/tape.out")
python3 -c '
import sys
tape_wall, tape_cpu, py_wall, py_cpu, goal = map(float, sys.argv[1:6])
lines, rows = sys.argv[6:8]
ratio = tape_cpu / py_cpu
print(f"lines           {lines} ({rows} identical rows)")
print(f"zantor-tape     {tape_cpu:.3f} s CPU  ({tape_wall:.3f} s wall)")
print(f"python decimal  {py_cpu:.3f} s CPU  ({py_wall:.3f} s wall)")
verdict = "met" if ratio <= goal else "MISSED"
print(f"ratio           {ratio:.3f} CPU, {tape_wall / py_wall:.3f} wall (goal <= {goal}: {verdict})")
sys.exit(0 if ratio <= goal else 3)
' "$tape_wall" "$tape_cpu" "$py_wall" "$py_cpu" "$goal" "$lines" "$rows"
