#!/usr/bin/env bash
# Process start to first page of a reader started from the command line on a
# book, seen from outside on a fresh X server (Xvfb, 1920 x 1080): see
# FirstPageBench for the method. Any reader started the same way can be
# compared: pass its command (the book is added as its last argument).
# Usage: bench/first-page.sh [BOOK] [READER_COMMAND] [RUNS]
#        (defaults ../shared/books/2600-0.txt, build/bin/Pagelume, 5 runs)
#   FIRST_PAGE_DISPLAY=:N   the display number to use (default: the first free from :90)
#   FIRST_PAGE_ARGS=...     more FirstPageBench options (--timeout, --settle, --tolerance)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
shared=$here/../shared; [ -d "$shared" ] || shared=/work/shared
book=${1:-$shared/books/2600-0.txt}
reader=${2:-$here/build/bin/Pagelume}
runs=${3:-5}
[ -f "$book" ] || { echo "no book $book" >&2; exit 1; }
book=$(cd "$(dirname "$book")" && pwd)/$(basename "$book")

display=${FIRST_PAGE_DISPLAY:-}
if [ -z "$display" ]; then
  for n in $(seq 90 140); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then display=:$n; break; fi
  done
fi
Xvfb "$display" -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null || true' EXIT
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done

# The reader built here runs from a fresh copy of its folder (settings beside
# the program from an earlier run do not count); another reader runs as given.
fresh=()
[ "$reader" = "$here/build/bin/Pagelume" ] && fresh=(--fresh-program-folder)
read -r -a command <<<"$reader"
# shellcheck disable=SC2086
DISPLAY=$display "$here/build/bin/FirstPageBench" --runs "$runs" ${FIRST_PAGE_ARGS:-} "${fresh[@]}" -- \
  "${command[@]}" "$book"
