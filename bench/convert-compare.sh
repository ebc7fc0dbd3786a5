#!/usr/bin/env bash
# Compares the output of two builds of the headless converter byte for byte:
# every book of BOOKS_DIR and of the committed fixtures, the shipped books, a
# made-up book full of formatting commands and awkward characters, and (with
# BIG=1) the 20 MB book, each to ".txt" and ".rtf" with several option sets;
# and every RTF file of RTF_DIR and of the fixtures to both. For checking that
# a change to the converter's speed leaves its output as it was.
# Usage: bench/convert-compare.sh REFERENCE_BINARY [BINARY] [BOOKS_DIR] [RTF_DIR]
#        (defaults: build/bin/Pagelume, ../shared/books, ../shared/rtf)
set -uo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
ref=${1:?usage: convert-compare.sh REFERENCE_BINARY [BINARY] [BOOKS_DIR] [RTF_DIR]}
bin=${2:-$here/build/bin/Pagelume}
shared=$here/../shared; [ -d "$shared" ] || shared=/work/shared
books=${3:-$shared/books}
rtfs=${4:-$shared/rtf}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen
export TMPDIR=$work

python3 - "$work" <<'EOF'
import sys
w = sys.argv[1]
parts = [
    "^PS_T+", "The Title of It", "", "^FC=clBlue*", "^EC=clRed*", "^SEC=$00FF00*",
    'He said "hello there" and \'quoted\' it, don\'t you see; "open', "", "  Indented start of a paragraph.",
    "continued line", "Chapter 1", "", "^B*", "Bold text \"with quotes\".", "^B~", "^I+", "Italic once.",
    "^LPI=20*", "^FLI=0*", "Left indent paragraph with a hyphen-", "ated word.", "^LPI~", "^FLI~",
    "^AC+", "Centred.", "^AR*", "Right aligned.", "^AJ*", "Justified text.", "^A~",
    "^S=30*", "Big letters.", "^S~", "^Z=150+", "Zoomed once.", "^CS=20*", "Spaced.", "^CS~",
    "^F=Courier New*", "Typewriter.", "^F~", "^BC=Yellow*", "Back colour.", "^BC~",
    "^LS=300*", "Wide lines.", "^LS~", "^RPI=15+", "Right indent once.",
    "^PCS_LS*", "Colour set.", "^PCS~", "^CAD*", "After CAD.", "^U/", "No underline.", "^U~",
    "^PS_H+", "A Heading", "^PS_N+", "A note.", "^ALL/", "All base.", "^ALL~", "^XYZ*", "^B",
    "***", "- item one", "* item two", "Part II", "", "Section 3: The End:", "Next line",
    "Text with \u2029 paragraph mark, \u2028 line mark, \ufdd0 and \ufdd1 marks.",
    "Surrogates \U0001F600 pair, lone \ud800 high, lone \udc00 low.", "tab\there", "",
    "# Number heading", "\u00a7 Section sign", "http://example.com/a link and www.example.org too",
    "Trailing   ", "   ", "Last \"quoted\" 'words' here.", "^FC=nonsense*", "Not reached.",
]
text = "\r\n".join(parts) + "\r\n"
open(f"{w}/commands.txt", "wb").write(text.encode("utf-8", "surrogatepass"))
quoted = 'He said "hello there" and \'quoted\' it, don\'t you; "open'
blocks = ["Intro.", ""]
for cmd in ["^EC=clRed*", "^SEC=clGreen*", "^B*", "^I+", "^S=30*", "^FC=clBlue*", "^BC=clYellow*", "^LPI=20*",
            "^FLI=0+", "^AC*", "^LS=200*", "^CS=5*", "^F=Arial*", "^PCS_LL*", "^CAD*", "^ALL/", "^EC~", "^U+"]:
    blocks += [cmd, quoted, "", "Plain \"follow\" paragraph.", ""]
open(f"{w}/quotes.txt", "w").write("\n".join(blocks * 3) + "\n")
open(f"{w}/lf-only.txt", "w").write("Line one\nline two\n\nPara two\rwith CR\n\n\n")
open(f"{w}/many-chapters.txt", "w").write("".join(f"Chapter {i}\n\nText of {i}.\n\n" for i in range(40)))
EOF

cases=()
for b in "$books"/*.txt "$here"/tests/data/books/*.txt "$here"/data/*.txt "$work"/*.txt; do
  [ -f "$b" ] && cases+=("$b")
done
if [ "${BIG:-0}" = 1 ]; then
  big=$work/big20.txt
  bash "$here/bench/big-book.sh" "$books" "$big"
  cases+=("$big")
fi

same=0
differ=0
# check BOOK EXTENSION [options]: both converters, outputs, exit codes and messages compared
check() {
  local book=$1 ext=$2
  shift 2
  rm -f "$work/a.$ext" "$work/b.$ext"
  "$ref" --convert "$book" "$work/a.$ext" "$@" >"$work/a.out" 2>"$work/a.err"
  local ra=$?
  "$bin" --convert "$book" "$work/b.$ext" "$@" >"$work/b.out" 2>"$work/b.err"
  local rb=$?
  if [ $ra = $rb ] && cmp -s "$work/a.out" "$work/b.out" && cmp -s "$work/a.err" "$work/b.err" &&
    { [ ! -e "$work/a.$ext" ] && [ ! -e "$work/b.$ext" ] || cmp -s "$work/a.$ext" "$work/b.$ext"; }; then
    same=$((same + 1))
  else
    differ=$((differ + 1))
    echo "DIFFERS: $(basename "$book") -> .$ext $* (exit $ra / $rb)"
    cmp "$work/a.$ext" "$work/b.$ext" 2>&1 | head -n 2
  fi
}

for book in "${cases[@]}"; do
  for ext in txt rtf; do
    check "$book" $ext --chapters
    check "$book" $ext --prefix Tab --ignore-empty-lines
    check "$book" $ext --poorly-written --prefix "- "
    check "$book" $ext --no-enhance
  done
done
for f in "$rtfs"/*.rtf "$here"/tests/data/rtf/*.rtf; do
  [ -f "$f" ] || continue
  check "$f" txt
  check "$f" rtf
done
echo "$same the same, $differ different"
[ "$differ" -eq 0 ]
