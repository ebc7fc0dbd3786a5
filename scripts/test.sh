#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test. Prints failures and
# the summary only; the exit status is ctest's.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh "$@"
cd "${PAGELUME_BUILD_DIR:-build}"
set +e
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)" --timeout 300 2>&1 |
  grep -v -E '^ +Start +[0-9]+: |^ *[0-9]+/[0-9]+ Test +#[0-9]+: .* +Passed +[0-9.]+ sec$|^Test project |^$'
status=${PIPESTATUS[0]}
set -e
exit "$status"
