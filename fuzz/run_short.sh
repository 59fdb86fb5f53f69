#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz/ and runs each one on
# its seed corpus for a short while (20 s, or the seconds given as the first
# argument). Fails when any target finds a crash, a leak, a sanitizer report
# or a broken check; the input that did it is kept under build-fuzz/findings/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
targets=(engine_step entry_checks paste_cleaning key_table query_builder)

# The compiler and its fuzzing runtime come with the project's packages.
bash scripts/deps.sh

build=build-fuzz
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DZANTOR_FUZZ=ON -DZANTOR_GUI=OFF -DZANTOR_TESTS=OFF >/dev/null
cmake --build "$build" --target "${targets[@]}"

findings="$build/findings"
mkdir -p "$findings"
failed=0
for t in "${targets[@]}"; do
  # New inputs go to a scratch corpus; the committed seeds are only read.
  work=$(mktemp -d)
  log="$findings/$t.log"
  if nice -n 10 "$build/fuzz/$t" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$findings/$t-" "$work" "fuzz/corpus/$t" >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    cov=$(grep -o 'cov: [0-9]* ft: [0-9]*' "$log" | tail -1)
    echo "$t: ok, $runs runs in ${seconds}s, $cov"
  else
    failed=1
    echo "$t: FAILED (log $log)"
    grep -E 'fuzz check failed|ERROR:|SUMMARY:|runtime error' -A2 "$log" | head -20 || true
    ls "$findings/$t-"* 2>/dev/null || true
  fi
  rm -rf "$work"
done
exit $failed
