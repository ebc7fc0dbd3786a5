#!/usr/bin/env bash
# Compares the headless converter with the independent model of the rules
# (enhance_check.py) on every committed fixture book, for three option sets,
# both the converted text and the chapters list.
# Usage: converter_check.sh PAGELUME_BINARY BOOKS_DIR
set -uo pipefail
bin=$1
books=$2
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen
passed=0
failed=0
for book in "$books"/*.txt; do
  name=$(basename "$book" .txt)
  for set in default tab-ignore poorly; do
    case $set in
      default) opts=() ;;
      tab-ignore) opts=(--prefix Tab --ignore-empty-lines) ;;
      poorly) opts=(--poorly-written) ;;
    esac
    out="$work/$name.$set.txt"
    if ! "$bin" --convert "$book" "$out" "${opts[@]}" --chapters >"$work/chapters.got" 2>"$work/stderr"; then
      echo "FAIL $name [$set]: converter exited non-zero: $(head -n 3 "$work/stderr")"
      failed=$((failed + 1))
      continue
    fi
    python3 "$here/enhance_check.py" "$book" "${opts[@]}" >"$work/text.want"
    python3 "$here/enhance_check.py" "$book" "${opts[@]}" --chapters >"$work/chapters.want"
    if cmp -s "$out" "$work/text.want"; then
      passed=$((passed + 1))
    else
      echo "FAIL $name [$set]: text differs"
      diff "$work/text.want" "$out" | head -n 10
      failed=$((failed + 1))
    fi
    if cmp -s "$work/chapters.got" "$work/chapters.want"; then
      passed=$((passed + 1))
    else
      echo "FAIL $name [$set]: chapters differ"
      diff "$work/chapters.want" "$work/chapters.got" | head -n 10
      failed=$((failed + 1))
    fi
  done
done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
