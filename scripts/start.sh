#!/usr/bin/env bash
# Installs what Zantor needs, builds it, and starts the window.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZANTOR_GUI=ON >/dev/null
cmake --build build --target zantor zantor-search zantor-tape
exec build/bin/zantor "$@"
