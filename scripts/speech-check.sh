#!/usr/bin/env bash
# Checks reading aloud by hand, with the real speech service: starts Xvfb with
# openbox and a PulseAudio server whose only sink is a silent one, opens a long
# book in the reader, presses F9 and records the sink. It reports how long
# after F9 the voice was heard, where the sentence shown as spoken (the
# selection colour) was a moment later and some seconds later, and how long
# the voice went on after F9 was pressed again.
#   scripts/speech-check.sh [BOOK]     (default: War and Peace from /work/shared/books)
# Fails when no voice is heard within 1 s of F9, the shown sentence does not
# move, or the voice goes on for more than 1 s after the second F9.
# SPEECH_DISPLAY picks the display number (default 32).
set -euo pipefail
cd "$(dirname "$0")/.."
bin=${PAGELUME_BUILD_DIR:-build}/bin
book=$(realpath "${1:-/work/shared/books/2600-0.txt}")
display=:${SPEECH_DISPLAY:-32}

for tool in Xvfb openbox xdotool import convert xdpyinfo pulseaudio pactl parecord speech-dispatcher python3; do
  command -v "$tool" >/dev/null || { echo "speech-check: $tool is missing (scripts/install-deps.sh)" >&2; exit 2; }
done
[ -x "$bin/Pagelume" ] || { echo "speech-check: no reader at $bin/Pagelume: build first" >&2; exit 2; }
[ -f "$book" ] || { echo "speech-check: no book at $book" >&2; exit 2; }
if xdpyinfo -display "$display" >/dev/null 2>&1; then
  echo "speech-check: display $display is in use; choose another with SPEECH_DISPLAY" >&2
  exit 2
fi

work=$(mktemp -d)
xvfb= wm= reader= server= recorder=
cleanup() {
  local speechd
  speechd=$(cat "$work/run/speech-dispatcher/pid/speech-dispatcher.pid" 2>/dev/null || true)
  for pid in $recorder $reader $speechd $server $wm $xvfb; do kill "$pid" 2>/dev/null || true; done
  sleep 0.2
  if [ -n "${SPEECH_KEEP:-}" ]; then echo "speech-check: files kept in $work" >&2; else rm -rf "$work"; fi
}
trap cleanup EXIT
fail() {
  echo "speech-check: FAILED: $*" >&2
  [ -s "$work/reader.log" ] && { echo "--- the reader's output:" >&2; tail -n 20 "$work/reader.log" >&2; }
  exit 1
}
now() { date +%s.%N; }

# The sound server: a silent sink, reached through a socket of our own. The
# speech service is started by the reader and inherits the server's address.
mkdir -p "$work/run" "$work/program" "$work/home" "$work/tmp"
chmod 700 "$work/run"
export XDG_RUNTIME_DIR=$work/run
export PULSE_RUNTIME_PATH=$XDG_RUNTIME_DIR/pulse
pulseaudio --daemonize=no --exit-idle-time=-1 --disallow-exit -n \
  --load="module-null-sink sink_name=silent" \
  --load="module-native-protocol-unix auth-anonymous=1 socket=$XDG_RUNTIME_DIR/native" >/dev/null 2>&1 &
server=$!
export PULSE_SERVER=unix:$XDG_RUNTIME_DIR/native
for _ in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
pactl info >/dev/null 2>&1 || fail "the sound server did not start"

. scripts/display.sh
start_display "$display"

# Without speech-dispatcher's espeak-ng module (speech-dispatcher-espeak-ng)
# the service would only have its silent dummy module: it is given its
# generic module running the espeak-ng program instead.
voice=espeak-ng
if [ ! -x /usr/lib/speech-dispatcher-modules/sd_espeak-ng ] && command -v espeak-ng >/dev/null; then
  voice="espeak-ng program through the generic module"
  mkdir -p "$work/home/.config/speech-dispatcher"
  cat >"$work/home/.config/speech-dispatcher/espeak-ng-program.conf" <<'CONF'
GenericExecuteSynth "printf %s \'$DATA\' | espeak-ng -v $VOICE -s $RATE -p $PITCH -a $VOLUME --stdin"
GenericCmdDependency "espeak-ng"
GenericRateAdd 175
GenericRateMultiply 1
GenericPitchAdd 50
GenericPitchMultiply 0.5
GenericVolumeAdd 100
GenericVolumeMultiply 1
GenericLanguage "en" "en-us" "utf-8"
GenericLanguage "fr" "fr" "utf-8"
GenericLanguage "de" "de" "utf-8"
AddVoice "en" "MALE1" "en-us"
AddVoice "fr" "MALE1" "fr"
AddVoice "de" "MALE1" "de"
CONF
  cat >"$work/home/.config/speech-dispatcher/speechd.conf" <<CONF
AddModule "espeak-ng-program" "sd_generic" "$work/home/.config/speech-dispatcher/espeak-ng-program.conf"
DefaultModule espeak-ng-program
DefaultLanguage "en"
DefaultVolume 100
CONF
fi
echo "voice: $voice"

# The reader runs from a copy with its own settings folder, home and lock.
cp "$bin/Pagelume" "$work/program/"
for item in Welcome.txt ErrorFix.rtf Help.html BackImages; do
  [ -e "$bin/$item" ] && cp -r "$bin/$item" "$work/program/"
done
HOME=$work/home TMPDIR=$work/tmp XDG_CONFIG_HOME=$work/home/.config \
  "$work/program/Pagelume" "$book" >"$work/reader.log" 2>&1 &
reader=$!
for _ in $(seq 100); do
  xdotool search --onlyvisible --pid "$reader" >/dev/null 2>&1 && break
  kill -0 "$reader" 2>/dev/null || fail "the reader died before its window appeared"
  sleep 0.1
done
window=$(xdotool search --onlyvisible --pid "$reader" 2>/dev/null | head -n 1)
[ -n "$window" ] || fail "no window within 10 s"
sleep 4  # the book loads at the first activation
xdotool windowactivate --sync "$window" >/dev/null 2>&1 || xdotool windowfocus "$window" 2>/dev/null || true
xdotool mousemove 900 400

# The box of the pixels in the selection colour (the desktop style's
# highlight), as W H X Y; "none" when there are none.
selection() {
  local box
  import -window root "$work/$1.png"
  box=$(convert "$work/$1.png" -fuzz 6% -fill white -opaque "rgb(48,140,198)" -fuzz 0 -fill black +opaque white \
    -bordercolor black -border 1 -format "%@" info: 2>/dev/null || true)
  case $box in
    "" | 0x0*) echo none ;;
    *) echo "$box" | sed -E 's/[x+]/ /g' ;;
  esac
}

parecord --latency-msec=50 --device=silent.monitor --format=s16le --rate=44100 --channels=1 \
  --file-format=wav "$work/voice.wav" &
recorder=$!
sleep 1
pressed=$(now)
xdotool key --window "$window" F9
sleep 1.5
first=$(selection first)
sleep 5
later=$(selection later)
stopped=$(now)
xdotool key --window "$window" F9
sleep 2
ended=$(now)
kill -INT "$recorder"; wait "$recorder" 2>/dev/null || true
recorder=
kill -0 "$reader" 2>/dev/null || fail "the reader died while reading aloud"

python3 - "$work/voice.wav" "$pressed" "$stopped" "$ended" "$first" "$later" <<'PY'
import array, sys, wave
path, pressed, stopped, ended = sys.argv[1], float(sys.argv[2]), float(sys.argv[3]), float(sys.argv[4])
first, later = sys.argv[5], sys.argv[6]
with wave.open(path) as w:
    rate = w.getframerate()
    samples = array.array("h", w.readframes(w.getnframes()))
# The recording ends when the recorder was stopped: its first sample is that
# instant minus its length.
start = ended - len(samples) / rate
window = rate // 100  # 10 ms
loud = [max(map(abs, samples[i:i + window]), default=0) > 300 for i in range(0, len(samples), window)]
times = [start + k * 0.01 for k, on in enumerate(loud) if on]
problems = []
after_press = [t for t in times if t >= pressed - 0.05]
if not after_press:
    print("voice after F9: none heard")
    problems.append("no voice")
else:
    latency = after_press[0] - pressed
    print(f"voice after F9: {latency * 1000:.0f} ms")
    if latency > 1.0:
        problems.append("the voice came later than 1 s")
    spoken = sum(1 for t in after_press if t < stopped) * 0.01
    print(f"voice heard before the second F9: {spoken:.1f} s of {stopped - pressed:.1f} s")
    tail = [t for t in times if t >= stopped]
    went_on = (tail[-1] - stopped) if tail else 0.0
    print(f"voice after the second F9: {went_on * 1000:.0f} ms")
    if went_on > 1.0:
        problems.append("the voice went on after F9")
print(f"sentence shown 1.5 s after F9 (w h x y): {first}")
print(f"sentence shown 6.5 s after F9 (w h x y): {later}")
if first == "none" or later == "none" or first == later:
    problems.append("the shown sentence did not move")
if problems:
    sys.exit("speech-check: FAILED: " + "; ".join(problems))
print("speech-check: passed")
PY
