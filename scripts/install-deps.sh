#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need.
# Quiet and quick when everything is already there.
set -euo pipefail
packages=(
  g++ cmake make pkgconf libxcb1-dev libxext-dev
  qt6-base-dev qt6-base-dev-tools qt6-multimedia-dev libgl-dev
  qt6-speech-dev qt6-declarative-dev qt6-speech-speechd-plugin speech-dispatcher espeak-ng
  speech-dispatcher-espeak-ng
  pulseaudio pulseaudio-utils
  libhyphen-dev hyphen-en-us hyphen-en-gb hyphen-fr hyphen-de hyphen-es hyphen-it hyphen-ru hyphen-pt-pt
  libgtest-dev libgmock-dev
  fonts-liberation
  xvfb openbox xdotool imagemagick x11-utils
  unrtf locales sox python3 time
  desktop-file-utils appstream groff-base man-db xdg-utils
  poppler-utils
)
missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "Missing packages: ${missing[*]} (run as root to install them)" >&2
    exit 1
  fi
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
# The number-format tests need a locale whose decimal separator is a comma
# and an English one.
for loc in de_DE en_US; do
  if ! locale -a 2>/dev/null | grep -qi "^${loc}\.utf-\?8$" && [ "$(id -u)" -eq 0 ]; then
    sed -i "s/^# *${loc}.UTF-8 UTF-8/${loc}.UTF-8 UTF-8/" /etc/locale.gen 2>/dev/null || true
    grep -q "^${loc}.UTF-8 UTF-8" /etc/locale.gen 2>/dev/null || echo "${loc}.UTF-8 UTF-8" >> /etc/locale.gen
    regen=1
  fi
done
if [ -n "${regen:-}" ]; then locale-gen >/dev/null 2>&1 || true; fi
