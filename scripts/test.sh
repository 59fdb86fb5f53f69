#!/usr/bin/env bash
# Installs what Zantor needs, builds everything with warnings as errors, and
# runs every test: the full suite, then the engine, store and tape tests again
# under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh

echo "== clang-format"
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

echo "== build"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZANTOR_WERROR=ON \
  -DZANTOR_GUI=ON -DZANTOR_TESTS=ON >/dev/null
cmake --build build

echo "== sanitizer build"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZANTOR_SANITIZE=ON \
  -DZANTOR_GUI=OFF -DZANTOR_TESTS=ON >/dev/null
cmake --build build-asan
ASAN_OPTIONS=detect_leaks=1 ctest --test-dir build-asan --output-on-failure --no-tests=error -j2

echo "== fuzz (short)"
bash fuzz/run_short.sh

echo "== tests"
ctest --test-dir build --output-on-failure --no-tests=error -j2
