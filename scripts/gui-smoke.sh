#!/usr/bin/env bash
# The reader under a real X server and window manager, for what the offscreen
# platform cannot show: starts Xvfb with openbox, runs the reader on a book,
# slides the sidebar in, visits every page of it (a screenshot of each goes
# into the folder given, default smoke-shots/), ticks "Allow editing", moves
# the pointer over the text and closes the reader with its "Close" button.
#   scripts/gui-smoke.sh [SHOTS_FOLDER]
# Fails when the reader dies, a page does not appear or the close does not end
# the program within 5 s. SMOKE_DISPLAY picks the display number (default 99).
set -euo pipefail
cd "$(dirname "$0")/.."
bin=${PAGELUME_BUILD_DIR:-build}/bin
shots=$(realpath -m "${1:-smoke-shots}")
display=:${SMOKE_DISPLAY:-99}
book=tests/data/books/pride-head.txt

for tool in Xvfb openbox xdotool import compare convert xdpyinfo; do
  command -v "$tool" >/dev/null || { echo "gui-smoke: $tool is missing (scripts/install-deps.sh)" >&2; exit 2; }
done
[ -x "$bin/Pagelume" ] || { echo "gui-smoke: no reader at $bin/Pagelume: build first" >&2; exit 2; }
if xdpyinfo -display "$display" >/dev/null 2>&1; then
  echo "gui-smoke: display $display is in use; choose another with SMOKE_DISPLAY" >&2
  exit 2
fi

work=$(mktemp -d)
xvfb= wm= reader=
cleanup() {
  for pid in $reader $wm $xvfb; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "gui-smoke: FAILED: $*" >&2
  [ -s "$work/reader.log" ] && { echo "--- the reader's output:" >&2; tail -n 20 "$work/reader.log" >&2; }
  exit 1
}

. scripts/display.sh
start_display "$display"

# The reader runs from a copy with its own settings folder, home and lock.
mkdir -p "$work/program" "$work/home" "$work/tmp" "$shots"
rm -f "$shots"/*.png
cp "$bin/Pagelume" "$work/program/"
for item in Welcome.txt ErrorFix.rtf Help.html PGSearch.htm Readme.txt BackImages BackSounds; do
  [ -e "$bin/$item" ] && cp -r "$bin/$item" "$work/program/"
done
cp "$book" "$work/book.txt"
HOME=$work/home TMPDIR=$work/tmp XDG_CONFIG_HOME=$work/home/.config \
  "$work/program/Pagelume" "$work/book.txt" >"$work/reader.log" 2>&1 &
reader=$!

alive() {
  if ! kill -0 "$reader" 2>/dev/null; then
    local status=0
    wait "$reader" || status=$?
    reader=
    fail "the reader died $1 (exit status $status)"
  fi
}
shot() { import -window root "$shots/$1.png"; }
# Pixels that differ between two screenshots.
differ() { compare -metric AE "$1" "$2" null: 2>&1 >/dev/null | cut -d' ' -f1 || true; }
# The sidebar's part of a screenshot.
panel() { convert "$shots/$1.png" -crop "${panelW}x${panelH}+${panelX}+${panelY}" +repage "$work/$2.png"; }

for _ in $(seq 100); do
  xdotool search --onlyvisible --pid "$reader" >/dev/null 2>&1 && break
  alive "before its window appeared"
  sleep 0.1
done
xdotool search --onlyvisible --pid "$reader" >/dev/null 2>&1 || fail "no window within 10 s"
sleep 2  # the book opens and settles
alive "while it opened the book"

# The book, then the sidebar slid in by the pointer at the window's left edge.
xdotool mousemove 640 300
sleep 0.5
shot 00-book
xdotool mousemove 3 400
# A slow machine may take a while: up to 5 s.
for _ in $(seq 25); do
  sleep 0.2
  shot 01-sidebar
  alive "when the sidebar slid in"
  [ "$(differ "$shots/00-book.png" "$shots/01-sidebar.png")" -gt 5000 ] && break
done
sleep 0.3  # the sidebar drawn whole
shot 01-sidebar
[ "$(differ "$shots/00-book.png" "$shots/01-sidebar.png")" -gt 5000 ] || fail "the sidebar did not appear within 5 s"
read -r panelX panelY panelH < <(convert "$shots/00-book.png" "$shots/01-sidebar.png" -compose difference \
  -composite -crop 640x800+0+0 +repage -colorspace gray -threshold 2% -trim -format "%X %Y %h\n" info: | tr -d "+")
panelW=250  # the sidebar's fixed width

# Every page: the wheel over a row of tabs turns to the next tab. A turn that
# changes nothing is the end of the row.
wheel() { xdotool mousemove "$1" "$2" click "$3"; sleep 0.4; }
outerRow=$((panelY + 12))
innerRow=$((panelY + 37))
visitRow() { # name x y expected-pages
  local name=$1 x=$2 y=$3 expected=$4 count=1 previous
  for _ in $(seq 8); do xdotool mousemove "$x" "$y" click 4; done
  sleep 0.4
  shot "$name-1"
  panel "$name-1" previous
  while [ $count -lt 10 ]; do
    wheel "$x" "$y" 5
    alive "on the page $name-$((count + 1))"
    shot "$name-$((count + 1))"
    panel "$name-$((count + 1))" current
    if [ "$(differ "$work/previous.png" "$work/current.png")" -lt 50 ]; then
      rm "$shots/$name-$((count + 1)).png"
      break
    fi
    mv "$work/current.png" "$work/previous.png"
    count=$((count + 1))
  done
  [ $count -eq "$expected" ] || fail "$name: $count pages appeared, $expected expected"
  echo "$name: $count pages"
}
# The converter's pages are chosen by caption buttons in two rows: a click on
# each (offsets from the sidebar's corner) must show another page.
visitButtons() { # name expected-pages x,y...
  local name=$1 expected=$2 count=0
  shift 2
  for offset in "$@"; do
    xdotool mousemove $((panelX + ${offset%,*})) $((panelY + ${offset#*,})) click 1
    sleep 0.4
    alive "on the page $name-$((count + 1))"
    shot "$name-$((count + 1))"
    panel "$name-$((count + 1))" current
    if [ $count -gt 0 ] && [ "$(differ "$work/previous.png" "$work/current.png")" -lt 50 ]; then
      fail "$name: the page did not change at button $((count + 1))"
    fi
    mv "$work/current.png" "$work/previous.png"
    count=$((count + 1))
  done
  [ $count -eq "$expected" ] || fail "$name: $count pages appeared, $expected expected"
  echo "$name: $count pages"
}
tabX=$((panelX + 30))
for _ in 1 2 3; do xdotool mousemove "$tabX" "$outerRow" click 4; done
sleep 0.4
visitRow program "$tabX" "$innerRow" 3
wheel "$tabX" "$outerRow" 5
visitRow profile "$tabX" "$innerRow" 4
wheel "$tabX" "$outerRow" 5
visitButtons convert 7 35,86 96,86 154,86 214,86 44,108 125,108 205,108
for _ in 1 2 3; do xdotool mousemove "$tabX" "$outerRow" click 4; done
for _ in 1 2 3; do xdotool mousemove "$tabX" "$innerRow" click 4; done
sleep 0.4

# "Allow editing" on the "Open" page, then the pointer over the text.
shot 10-open
xdotool mousemove $((panelX + 28)) $((panelY + 251)) click 1
sleep 0.5
shot 11-editing
panel 10-open before
panel 11-editing after
[ "$(differ "$work/before.png" "$work/after.png")" -gt 20 ] || fail "\"Allow editing\" did not change"
for point in "600 200" "610 220" "700 300" "720 420" "650 500"; do
  xdotool mousemove $point
  sleep 0.2
  alive "with the pointer over the text in editing mode"
done
sleep 0.5
shot 12-pointer-over-text
alive "with the pointer over the text in editing mode"

# "Close": the sidebar again, the button at its bottom left.
xdotool mousemove 3 400
sleep 0.8
xdotool mousemove $((panelX + 28)) $((panelY + panelH - 11)) click 1
for _ in $(seq 50); do
  kill -0 "$reader" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$reader" 2>/dev/null; then
  shot 13-not-closed
  fail "the reader did not end within 5 s of \"Close\""
fi
status=0
wait "$reader" || status=$?
reader=
[ $status -eq 0 ] || fail "the reader ended with status $status at \"Close\""
[ -s "$work/program/Pagelume.ini" ] || fail "no Pagelume.ini was written at the close"
echo "gui-smoke: passed; screenshots in $shots"
