#!/usr/bin/env bash
# Installs what Zantor needs, checks the format and that every include points
# down a layer, builds everything with warnings as errors, and runs every
# test: every test that can run under AddressSanitizer and
# UndefinedBehaviorSanitizer (all but the browser engine's), a short fuzzing
# run, then the full suite.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh

echo "== clang-format"
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

echo "== include layers"
bash scripts/check_layers.sh

echo "== build"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZANTOR_WERROR=ON \
  -DZANTOR_GUI=ON -DZANTOR_TESTS=ON >/dev/null
cmake --build build

echo "== sanitizer build"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZANTOR_SANITIZE=ON \
  -DZANTOR_GUI=ON -DZANTOR_TESTS=ON >/dev/null
# The browser engine is not built for the sanitizers: its tests stay out.
cmake --build build-asan --target zantor-tape zantor_engine_tests zantor_engine_alloc_tests zantor_tape_output_tests \
  store_test tape_db_test zantor_input_tests zantor_search_tests zantor_app_tests
ASAN_OPTIONS=detect_leaks=1 ctest --test-dir build-asan --output-on-failure --no-tests=error -j2 \
  -L '^(engine|tape|store|input|search|app)$'

echo "== fuzz (short)"
bash fuzz/run_short.sh

echo "== tests"
ctest --test-dir build --output-on-failure --no-tests=error -j2
