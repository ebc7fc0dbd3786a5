#!/usr/bin/env bash
# Checks the real sound path by hand: starts a PulseAudio server whose only
# sink is a silent one (no hardware needed), plays a wave through the
# program's sound output, and reports whether the stream started and stopped.
# Installs pulseaudio and pulseaudio-utils when they are missing (the tests do
# not need them: they use a recording stand-in for the output).
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v pulseaudio >/dev/null || ! command -v pactl >/dev/null; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends pulseaudio pulseaudio-utils >/dev/null
fi
dir=${PAGELUME_BUILD_DIR:-build}
export XDG_RUNTIME_DIR=$(mktemp -d)
export PULSE_RUNTIME_PATH=$XDG_RUNTIME_DIR/pulse
pulseaudio --daemonize=no --exit-idle-time=-1 --disallow-exit -n \
  --load="module-null-sink sink_name=silent" \
  --load="module-native-protocol-unix auth-anonymous=1 socket=$XDG_RUNTIME_DIR/native" >/dev/null 2>&1 &
server=$!
trap 'kill $server 2>/dev/null; rm -rf "$XDG_RUNTIME_DIR"' EXIT
export PULSE_SERVER=unix:$XDG_RUNTIME_DIR/native
for _ in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
"$dir/bin/SoundCheck" "$dir/bin/BackSounds/Rain.wav" 2
