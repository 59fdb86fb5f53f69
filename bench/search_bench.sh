#!/usr/bin/env bash
# The search dialog's figures on big histories (made by the program itself:
# 10,000, 100,000 and 1,000,000 engine steps, one sqlite3 transaction each):
#   1. the "全" report shown in the real browser view: from the click on a sort
#      button to the first screen painted, the jump to the end, 全选, and the
#      memory of the browser's processes with 1,000,000 rows shown;
#   2. the CSV export (the whole CFindDlg::ExportTo) and the peak memory it
#      adds, 100k and 1M rows;
#   3. a correction from the report in the 1,000,000-row run (row 1 and one
#      of the last 100): from 确定 to the report shown again;
#   with the goals, the growth from 100k to 1M rows (at most 11x), and a fixed
#   piece of engine work timed in the same run to read them against.
#
#   bench/search_bench.sh [report|export|correct]
#
# Builds into $BUILD_DIR (default build-search-bench) with ZANTOR_BENCH=ON and runs
# offscreen; works in $TMPDIR (default /tmp).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build-search-bench}

# An existing build directory keeps its build type; a new one is Release.
if [ -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -DZANTOR_BENCH=ON >/dev/null
else
  cmake -S "$root" -B "$build" -G Ninja -DZANTOR_BENCH=ON -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
ninja -C "$build" search_bench >/dev/null
bench=$(find "$build" -type f -name search_bench -perm -u+x | head -n 1)

export QT_QPA_PLATFORM=offscreen
[ "$(id -u)" = 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1
echo "search_bench on $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"
# The browser engine's start-up notes go to the standard error stream; shown
# only when the run fails.
err=$(mktemp "${TMPDIR:-/tmp}/search-bench.XXXXXX")
trap 'rm -f "$err"' EXIT
"$bench" "$@" 2>"$err" || {
  cat "$err" >&2
  exit 1
}
