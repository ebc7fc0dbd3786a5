#!/usr/bin/env bash
# Prints a book through the system's printing, as a reader's "Print" button
# does: starts CUPS with its PDF printer (CUPS-PDF) as the default printer,
# clicks "Print" in the reader's window on an X server (Xvfb) and checks the
# PDF that CUPS-PDF writes (first paragraph on page 1, every page there); then
# removes the printer and checks that the same click reports "Failed to
# print.". Needs root (it installs cups and printer-driver-cups-pdf when they
# are missing, and configures CUPS-PDF's output folder).
#   bash scripts/cups-print-check.sh          (after a build; PAGELUME_BUILD_DIR=build)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${PAGELUME_BUILD_DIR:-build}"
out=/tmp/pagelume-cups-pdf
display="${PAGELUME_CUPS_DISPLAY:-:97}"
printer=PagelumePDF

missing=()
for p in cups printer-driver-cups-pdf poppler-utils xvfb; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

mkdir -p "$out"
chmod 1777 "$out"
sed -i -E "s|^#?Out .*|Out $out|; s|^#?AnonDirName .*|AnonDirName $out|" /etc/cups/cups-pdf.conf

if ! lpstat -r 2>/dev/null | grep -q "is running"; then
  /usr/sbin/cupsd
  for _ in $(seq 50); do lpstat -r 2>/dev/null | grep -q "is running" && break; sleep 0.2; done
fi
lpadmin -p "$printer" -E -v cups-pdf:/ -P /usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd
lpadmin -d "$printer"

Xvfb "$display" -screen 0 1280x900x24 >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT
sleep 1
run() {
  env -u QT_QPA_PLATFORM DISPLAY="$display" TMPDIR="$(mktemp -d)" PAGELUME_CUPS_PDF_DIR="$out" \
    PAGELUME_CUPS_EXPECT="$1" "$build/bin/pagelume_tests" --gtest_filter='EditPrintTest.Cups*'
}
status=0
run pdf || status=1
lpadmin -x "$printer"
run none || status=1
[ $status -eq 0 ] && echo "Printing through CUPS: passed" || echo "Printing through CUPS: FAILED"
exit $status
