#!/usr/bin/env bash
# The headless converter on books of awkward shape, each against its target:
# wall time and peak resident memory (/usr/bin/time), one line per case. A case
# that passes the time limit is killed and reported as "> N s (killed)".
#   - the RTF files with a huge line spacing (FAULTS/rtf-huge-line-spacing);
#   - a 20 MB book (the UTF-8 sample books repeated) to .txt and to .rtf;
#   - 20 MB of one-letter paragraphs; a 19.6 MB RTF made only of \par;
#   - a 20 MB book whose lines the engine joins into one paragraph (one
#     sentence a line, no blank line, no indent);
#   - a 5 MB line of hyphens (no break opportunity).
# With --open the same books are also opened whole in the main window by
# ReadingBoxBench (first page, longest stall, peak memory).
# Usage: bench/convert-targets.sh [--open] [LIMIT_SECONDS] [BOOKS_DIR] [FAULTS_DIR]
#        (defaults: 60 s, ../shared/books, ../shared/faults)
set -uo pipefail
open=0
if [ "${1:-}" = --open ]; then open=1; shift; fi
here=$(cd "$(dirname "$0")/.." && pwd)
limit=${1:-60}
shared=$here/../shared; [ -d "$shared" ] || shared=/work/shared
books=${2:-$shared/books}
faults=${3:-$shared/faults}
bin=$here/build/bin/Pagelume
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen
export TMPDIR=$work  # the converter's own temporary folder: no lock shared with a running reader

target_mb() { [ "$1" = - ] || echo " (target $1 MB)"; }

# convert NAME INPUT OUTPUT-EXTENSION TARGET-SECONDS TARGET-MB [converter options]
convert() {
  local name=$1 input=$2 ext=$3 tsec=$4 tmb=$5
  shift 5
  rm -f "$work/out.$ext" "$work/t"
  /usr/bin/time -f '%e %M' -o "$work/t" "$bin" --convert "$input" "$work/out.$ext" "$@" >/dev/null 2>"$work/err" &
  local timer=$! reader="" start=$SECONDS peak=0
  # The limit is kept here, so that the peak memory of a killed case is known.
  while kill -0 "$timer" 2>/dev/null; do
    [ -z "$reader" ] && reader=$(pgrep -P "$timer" | head -n 1)
    if [ -n "$reader" ] && [ -r "/proc/$reader/status" ]; then
      local hwm
      hwm=$(awk '/^VmHWM:/ {print $2}' "/proc/$reader/status" 2>/dev/null)
      [ -n "$hwm" ] && [ "$hwm" -gt "$peak" ] && peak=$hwm
    fi
    if [ $((SECONDS - start)) -ge "$limit" ]; then
      [ -n "$reader" ] && kill -KILL "$reader" 2>/dev/null
      wait "$timer" 2>/dev/null
      printf '%-46s -> .%-3s > %s s (killed; target %s s), peak > %d MB%s\n' "$name" "$ext" "$limit" "$tsec" \
        $((peak / 1024)) "$(target_mb "$tmb")"
      return
    fi
    sleep 0.1
  done
  wait "$timer"
  local rc=$? secs kb status=""
  read -r secs kb < <(tail -n 1 "$work/t")
  [ "$rc" -ne 0 ] && status="  [exit $rc: $(head -c 200 "$work/err" | tr '\n' ' ')]"
  printf '%-46s -> .%-3s %6.2f s (target %s s), peak %5d MB%s%s\n' "$name" "$ext" "$secs" "$tsec" \
    $((kb / 1024)) "$(target_mb "$tmb")" "$status"
}

mb() { awk -v b="$(stat -c %s "$1")" 'BEGIN {printf "%.1f MB", b / 1e6}'; }

# The inputs.
big=$work/big20.txt  # the UTF-8 sample books repeated, cut at a line end below 20,000,000 bytes
bash "$here/bench/big-book.sh" "$books" "$big"
python3 - "$work" <<'EOF'
import random, sys
w = sys.argv[1]
open(f"{w}/letters.txt", "w").write("a\n\n" * 6_666_000)                   # 20 MB, 6.7 million paragraphs
open(f"{w}/pars.rtf", "w").write("{\\rtf1 " + "\\par" * 4_900_000 + "}")  # 19.6 MB of empty paragraphs
r = random.Random(3)
words = ("the of and to in a that he was it his for with as had you not be her on at by which have or from "
         "this").split()
lines, size = [], 0
while size < 19_900_000:  # one sentence a line: the engine joins them into one paragraph
    s = " ".join(r.choice(words) for _ in range(r.randint(6, 14))).capitalize() + "."
    lines.append(s); size += len(s) + 1
open(f"{w}/oneparagraph.txt", "w").write("\n".join(lines) + "\n")
open(f"{w}/hyphens.txt", "w").write("-" * 5_000_000)
EOF

echo "converter: $bin, limit $limit s per case"
for f in "$faults"/rtf-huge-line-spacing/*.rtf; do
  convert "huge line spacing: $(basename "$f")" "$f" txt 1 -
done
convert "book ($(mb "$big"))" "$big" txt 0.35 120
convert "book ($(mb "$big"))" "$big" rtf 1 -
convert "one-letter paragraphs ($(mb "$work/letters.txt"))" "$work/letters.txt" txt 3 600
convert "RTF of empty paragraphs ($(mb "$work/pars.rtf"))" "$work/pars.rtf" txt 3 600
convert "one paragraph ($(mb "$work/oneparagraph.txt"))" "$work/oneparagraph.txt" txt 1 -
convert "line of hyphens ($(mb "$work/hyphens.txt"))" "$work/hyphens.txt" txt 2 -

if [ "$open" = 1 ]; then
  echo "opened whole in the main window (ReadingBoxBench):"
  args=()
  for f in "$faults"/rtf-huge-line-spacing/*.rtf; do args+=(--open "$f=1"); done
  args+=(--open "$work/letters.txt=3,600" --open "$work/pars.rtf=3,600" --open "$work/oneparagraph.txt=1"
    --open "$work/hyphens.txt=2")
  "$here/build/bin/ReadingBoxBench" --timeout "$limit" "${args[@]}" 2>/dev/null
fi
