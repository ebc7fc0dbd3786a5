#!/usr/bin/env bash
# Times the headless converter on War and Peace and on a ~20 MB book made of the
# sample books, to ".txt" and to ".rtf"; prints the median wall time and the
# peak memory (maximum resident set) of each case.
# Usage: bench/convert.sh [BOOKS_DIR] [RUNS]   (defaults ../shared/books, 5)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
books=${1:-$here/../shared/books}
runs=${2:-5}
bin=$here/build/bin/Pagelume
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen

# A 20 MB UTF-8 book: the UTF-8 books repeated, cut at a line end below 20,000,000 bytes.
bash "$here/bench/big-book.sh" "$books" "$work/big20.txt" 19990000
sync  # the new files written out first: their write-back would slow the outputs' own

measure() { # book output-extension
  local times=() mem=0
  for _ in $(seq "$runs"); do
    /usr/bin/time -f '%e %M' -o "$work/t" "$bin" --convert "$1" "$work/out.$2" >/dev/null 2>&1
    read -r secs kb <"$work/t"
    times+=("$secs")
    [ "$kb" -gt "$mem" ] && mem=$kb
  done
  local median
  median=$(printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}')
  printf '%-28s %-4s median %6.2f s   peak %5d MB\n' "$(basename "$1") ($(($(stat -c %s "$1") / 1000000)) MB)" "$2" "$median" $((mem / 1024))
}

for book in "$books/2600-0.txt" "$work/big20.txt"; do
  measure "$book" txt
  measure "$book" rtf
done
