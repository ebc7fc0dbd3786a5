#!/usr/bin/env bash
# Installs what is missing, builds, and starts the reader. Arguments go to the program.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display: set DISPLAY (for example start Xvfb :99 and export DISPLAY=:99) to run the reader." >&2
  exit 1
fi
exec build/bin/Pagelume "$@"
