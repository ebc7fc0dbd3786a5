#!/usr/bin/env bash
# Builds the Debian package, checks it with lintian, installs it on this
# machine with apt-get, validates its menu entry and metadata, runs the
# converter and the reader (under Xvfb) from /usr/bin, checks that "/Uninstall"
# refuses, then purges the package and checks that none of its files is left.
# Changes the system while it runs (needs root); not part of the test suite.
# Environment: PAGELUME_BUILD_DIR (default build), XVFB_DISPLAY (default :97).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
dir=${PAGELUME_BUILD_DIR:-build}
display=${XVFB_DISPLAY:-:97}
[ "$(id -u)" -eq 0 ] || { echo "Run as root: the package is installed and removed." >&2; exit 1; }
if dpkg-query -W -f='${Status}' pagelume 2>/dev/null | grep -q "install ok installed"; then
  echo "pagelume is installed already; remove it first." >&2
  exit 1
fi

bash scripts/install-deps.sh
bash scripts/build.sh
(cd "$dir" && rm -f pagelume_*.deb && cpack -G DEB >/dev/null)
deb=$(ls "$root/$dir"/pagelume_*.deb)
echo "package: $deb"
dpkg-deb --info "$deb" | sed -n '/Package:/,/Description:/p'

# Debian's own checks of the package: no error and no warning but the one the
# README explains (no bug report to close: the package is not in Debian's
# archive). lintian is needed here only, so it is installed here and not with
# the build's packages.
if ! command -v lintian >/dev/null; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends lintian >/dev/null
fi
lintian_out=$(lintian --fail-on error,warning --suppress-tags initial-upload-closes-no-bugs "$deb") || {
  echo "lintian:" >&2
  echo "$lintian_out" >&2
  exit 1
}
echo "lintian: ${lintian_out:-no error, no warning}"

work=$(mktemp -d)
xvfb_pid=
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  if dpkg-query -W -f='${Status}' pagelume 2>/dev/null | grep -q "install ok installed"; then
    DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq pagelume >/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" >/dev/null
dpkg -L pagelume | sort > "$work/files"
echo "installed $(wc -l < "$work/files") paths"
test -x /usr/bin/pagelume
test -f /usr/share/pagelume/Welcome.txt
# The sound module where /usr/bin/pagelume looks for it, with every library it needs.
test -f /usr/lib/pagelume/pagelume-sound.so
! ldd /usr/lib/pagelume/pagelume-sound.so | grep -q "not found"
desktop-file-validate /usr/share/applications/pagelume.desktop
appstreamcli validate --no-net /usr/share/metainfo/io.github.pagelume.Pagelume.metainfo.xml >/dev/null
man -l /usr/share/man/man1/pagelume.1.gz >/dev/null
test "$(pagelume --version)" = "Pagelume $(dpkg-query -W -f='${Version}' pagelume | sed 's/-[^-]*$//')"
echo "menu entry, metadata, manual page, sound module and --version: ok"

# The converter, with a book of the tests.
export HOME="$work/home" TMPDIR="$work/tmp"
mkdir -p "$HOME" "$TMPDIR"
printf 'A line that\nis joined.\n\nNext paragraph.\n' > "$work/book.txt"
pagelume --convert "$work/book.txt" "$work/book.rtf" >/dev/null
test -s "$work/book.rtf"
echo "converter: ok"

# The desktop can make the reader the user's program for plain-text books.
if command -v xdg-mime >/dev/null; then
  xdg-mime default pagelume.desktop text/plain
  test "$(xdg-mime query default text/plain)" = pagelume.desktop
  echo "xdg-mime: text/plain opens with pagelume.desktop"
else
  echo "xdg-mime: not installed (xdg-utils), not checked"
fi

# The reader under Xvfb: it starts, shows its window, keeps its settings in
# the user's configuration folder, and finds its data in /usr/share/pagelume.
if [ -e "/tmp/.X${display#:}-lock" ] || [ -e "/tmp/.X11-unix/X${display#:}" ]; then
  echo "Display $display is in use; choose another with XVFB_DISPLAY." >&2
  exit 1
fi
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
sleep 1
kill -0 "$xvfb_pid"
DISPLAY=$display pagelume >/dev/null 2>&1 &
reader=$!
for _ in $(seq 1 300); do
  DISPLAY=$display xdotool search --name Pagelume >/dev/null 2>&1 && break
  sleep 0.1
done
DISPLAY=$display xdotool search --name Pagelume >/dev/null || { echo "the reader's window did not appear within 30 s" >&2; exit 1; }
sleep 1
DISPLAY=$display import -window root "$work/reader.png"
kill "$reader"; wait "$reader" 2>/dev/null || true
echo "reader: window shown"

# "/Uninstall" points to the package manager and deletes nothing: it says so
# (on standard error too) in a warning before any window of its own.
DISPLAY=$display pagelume /Uninstall >/dev/null 2>"$work/uninstall.err" &
uninstaller=$!
for _ in $(seq 1 300); do
  DISPLAY=$display xdotool search --name '^Warning$' >/dev/null 2>&1 && break
  kill -0 "$uninstaller" 2>/dev/null || break
  sleep 0.1
done
DISPLAY=$display xdotool search --name '^Warning$' >/dev/null || {
  echo "\"/Uninstall\" showed no warning (it ended, or took over 30 s); it said:" >&2
  cat "$work/uninstall.err" >&2
  exit 1
}
sleep 0.5
DISPLAY=$display import -window root "$work/uninstall.png"
grep -q "package manager" "$work/uninstall.err"
kill "$uninstaller" 2>/dev/null || true
wait "$uninstaller" 2>/dev/null || true
while read -r f; do test -e "$f" || { echo "missing after /Uninstall: $f" >&2; exit 1; }; done < "$work/files"
echo "/Uninstall: refused, nothing deleted"
if [ -n "${PAGELUME_SHOTS:-}" ]; then cp "$work/reader.png" "$work/uninstall.png" "$PAGELUME_SHOTS"/; fi

DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq pagelume >/dev/null
left=0
while read -r f; do
  [ -d "$f" ] && [ -n "$(dpkg -S "$f" 2>/dev/null)" ] && continue   # a folder other packages share
  if [ -e "$f" ]; then echo "left behind: $f" >&2; left=1; fi
done < "$work/files"
[ "$left" -eq 0 ]
echo "purged: nothing left"
