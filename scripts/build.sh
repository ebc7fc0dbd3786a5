#!/usr/bin/env bash
# Configures and builds into build/ (or $PAGELUME_BUILD_DIR). Extra arguments go to cmake.
# Prints only warnings and errors; the exit status is the build's.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${PAGELUME_BUILD_DIR:-build}
if [ ! -f "$dir/CMakeCache.txt" ] || [ $# -gt 0 ]; then
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
fi
set +e
cmake --build "$dir" -j"$(nproc)" -- --no-print-directory 2>&1 | grep -v -E '^\[ *[0-9]+%\]|^Automatic MOC|^-- |^$'
status=${PIPESTATUS[0]}
set -e
exit "$status"
