#!/usr/bin/env bash
# Checks the real sound path by hand: starts a PulseAudio server whose only
# sink is a silent one (no hardware needed), plays a wave through the
# program's sound output, and reports whether the stream started and stopped.
# Then it measures the pause at a switch between background sounds: it
# records the sink while two tones play back to back with paplay (the
# reference: what two separate players leave between them) and while the
# program switches between the same tones, and prints the longest silence
# inside each recording. Installs pulseaudio and pulseaudio-utils when they
# are missing (the tests do not need them: they use a recording stand-in for
# the output).
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

# Two 3-second tones, 44.1 kHz stereo.
work=$XDG_RUNTIME_DIR
python3 - "$work" <<'PY'
import math, struct, sys, wave
for name, freq in (("a", 440), ("b", 660)):
    with wave.open(f"{sys.argv[1]}/{name}.wav", "wb") as w:
        w.setnchannels(2); w.setsampwidth(2); w.setframerate(44100)
        w.writeframes(b"".join(struct.pack("<hh", v, v) for v in
                      (int(12000 * math.sin(2 * math.pi * freq * i / 44100)) for i in range(3 * 44100))))
PY
# Records the sink while the command runs: record FILE COMMAND... The recorder
# asks for 50 ms fragments; with the server's default of 2 s, the null sink
# runs 2 s ahead and every switch, paplay's too, records as over a second of
# silence whatever the player does.
record() {
  local file=$1; shift
  parecord --latency-msec=50 --device=silent.monitor --format=s16le --rate=44100 --channels=2 --file-format=wav "$file" &
  local recorder=$!
  sleep 0.5
  "$@"
  sleep 0.5
  kill -INT $recorder; wait $recorder 2>/dev/null || true
}
record "$work/paplay.wav" bash -c "paplay '$work/a.wav'; paplay '$work/b.wav'"
record "$work/switch.wav" "$dir/bin/SoundCheck" --switch "$work/a.wav" "$work/b.wav" 2 2
python3 - "$work/paplay.wav" "$work/switch.wav" <<'PY'
import array, sys, wave
def longest_gap(path):
    """The longest run of silence between the first and the last sound, in ms."""
    with wave.open(path) as w:
        rate, channels = w.getframerate(), w.getnchannels()
        samples = array.array("h", w.readframes(w.getnframes()))
    loud = [max(abs(samples[i + c]) for c in range(channels)) > 300 for i in range(0, len(samples), channels)]
    if True not in loud:
        return None
    first, last = loud.index(True), len(loud) - 1 - loud[::-1].index(True)
    longest = run = 0
    for frame in range(first, last + 1):
        run = 0 if loud[frame] else run + 1
        longest = max(longest, run)
    return 1000.0 * longest / rate
reference, switch = longest_gap(sys.argv[1]), longest_gap(sys.argv[2])
if reference is None or switch is None:
    sys.exit("a recording is silent")
print(f"pause between two paplay runs: {reference:.0f} ms")
print(f"pause at the program's switches: {switch:.0f} ms ({switch - reference:+.0f} ms)")
sys.exit(0 if switch - reference <= 100 else 1)
PY
