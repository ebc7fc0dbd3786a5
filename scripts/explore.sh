#!/usr/bin/env bash
# Drives the main window with random seeds for SECONDS seconds (default 60):
#   scripts/explore.sh [SECONDS] [--events K]
# or replays one seed exactly:
#   scripts/explore.sh --seed N [--events K]
# Each seed sends K random input events (default 2000) through the window of
# the test binary (build/bin/pagelume_tests, or $PAGELUME_BUILD_DIR). A failure
# prints the seed, the command that replays it and the last 50 events, and
# ends with status 1.
set -uo pipefail
cd "$(dirname "$0")/.."
bin=${PAGELUME_BUILD_DIR:-build}/bin/pagelume_tests
seconds=60
seed=
events=2000
while [ $# -gt 0 ]; do
  case $1 in
    --seed) seed=$2; shift 2 ;;
    --events) events=$2; shift 2 ;;
    [0-9]*) seconds=$1; shift ;;
    *) echo "usage: $0 [SECONDS] [--seed N] [--events K]" >&2; exit 2 ;;
  esac
done
if [ ! -x "$bin" ]; then
  echo "No test binary at $bin: build first (bash scripts/build.sh)." >&2
  exit 2
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Runs one seed; prints what a failure left and returns non-zero on one.
run_seed() {
  local seed=$1 log=$work/events.txt status
  : >"$log"
  mkdir -p "$work/home" "$work/tmp"
  HOME=$work/home TMPDIR=$work/tmp QT_QPA_PLATFORM=offscreen \
    PAGELUME_EXPLORE_SEED=$seed PAGELUME_EXPLORE_EVENTS=$events PAGELUME_EXPLORE_LOG=$log \
    "$bin" --gtest_filter='Seeds/ExplorerTest.*/Seed1' >"$work/output.txt" 2>&1
  status=$?
  if [ $status -eq 0 ] && grep -q '^\[  PASSED  \] 1 test' "$work/output.txt"; then
    return 0
  fi
  local last
  last=$(tail -n 1 "$log" | cut -d: -f1)
  echo "FAILED: seed $seed, after $last events (exit status $status)"
  echo "--- the test's output:"
  grep -v -E '^\[ *(RUN|OK|=+|-+|PASSED) *\]|^Note: Google Test filter' "$work/output.txt" | tail -n 60
  echo "--- the last 50 events:"
  tail -n 50 "$log"
  echo "--- replay: scripts/explore.sh --seed $seed --events ${last:-$events}"
  return 1
}

if [ -n "$seed" ]; then
  run_seed "$seed" && echo "seed $seed: $events events, no fault"
  exit
fi
runs=0
while [ "$SECONDS" -lt "$seconds" ]; do
  seed=$(( (RANDOM << 30) ^ (RANDOM << 15) ^ RANDOM ))
  run_seed "$seed" || exit 1
  runs=$((runs + 1))
done
echo "$runs seeds of $events events each, no fault"
