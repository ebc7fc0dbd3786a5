#!/usr/bin/env bash
# Writes a long UTF-8 book: the UTF-8 sample books repeated, cut at a line end
# below BYTES (20,000,000 unless given). Shared by the converter benchmarks.
# Usage: bench/big-book.sh BOOKS_DIR OUTPUT [BYTES]
set -euo pipefail
books=$1 out=$2 bytes=${3:-20000000}
raw=$out.raw
rm -f "$raw"
while [ "$(stat -c %s "$raw" 2>/dev/null || echo 0)" -lt "$bytes" ]; do
  for b in "$books"/*.txt; do
    case $b in *cp1252*) continue ;; esac
    cat "$b" >>"$raw"
  done
done
head -c "$bytes" "$raw" | sed '$d' >"$out"
rm -f "$raw"
