#!/usr/bin/env bash
# Builds the trainer and starts it in build/run, a working directory that holds
# its data files (settings and notes are written there, not into the sources).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"
cmake -S "$top" -B "$top/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$top/build" --target marlowick marlowick-render marlowick_data
cd "$top/build/run"
exec "$top/build/app/marlowick" "$@"
