#!/usr/bin/env bash
# Tries recording and playback as a new user would: tavrine on a private X
# server (Xvfb) with a private home, and ALSA devices that are files (the
# capture side reads a sox-made input, the playback side writes what it is
# given). A new dictation is made and recorded with the keyboard (xdotool)
# until at least 5 s are in it, then played back; the played output is
# compared with the input. Writes docs/try_record_play.png.
# Usage: scripts/try_record_play.sh [build dir]
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build/normal}
TAVRINE="$BUILD/app/desktop/tavrine"
CLI="$BUILD/app/cli/tavrine-cli"
OUT_PNG=docs/try_record_play.png
for tool in Xvfb xdotool sox ffmpeg python3; do
    command -v "$tool" >/dev/null || { echo "needs $tool" >&2; exit 2; }
done
[ -x "$TAVRINE" ] && [ -x "$CLI" ] || { echo "build tavrine and tavrine-cli in $BUILD first" >&2; exit 2; }

WORK=$(mktemp -d "${TMPDIR:-/tmp}/tavrine-try.XXXXXX")
XPID=
APID=
cleanup() {
    if [ -n "$APID" ]; then kill "$APID" 2>/dev/null || true; wait "$APID" 2>/dev/null || true; fi
    if [ -n "$XPID" ]; then kill "$XPID" 2>/dev/null || true; wait "$XPID" 2>/dev/null || true; fi
    rm -rf "$WORK"
}
trap cleanup EXIT
export HOME="$WORK/home" XDG_CONFIG_HOME="$WORK/config" XDG_DATA_HOME="$WORK/data" XDG_CACHE_HOME="$WORK/cache"
export TAVRINE_MACHINE_CONFIG="$WORK/machine.conf" XDG_RUNTIME_DIR="$WORK/run"
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
export DBUS_SESSION_BUS_ADDRESS="unix:path=$WORK/no-bus"

RATE=11025
# 6 s of a gliding tone with a tremolo: no two stretches alike, so the
# comparison cannot line up the wrong ones.
sox -n -r $RATE -c 1 -b 16 -e signed "$WORK/input.raw" synth 6 sine 300-1200 tremolo 3 60 vol 0.5
: >"$WORK/empty.raw"
cat >"$WORK/asound.conf" <<CONF
pcm.!default { type file slave.pcm { type null } format "raw" file "$WORK/default-out.raw" infile "$WORK/empty.raw" }
pcm.try_in { type file slave.pcm { type null } format "raw" file "$WORK/captured.raw" infile "$WORK/input.raw"
             hint { show on description "Try Input" } }
pcm.try_out { type file slave.pcm { type null } format "raw" file "$WORK/played.raw" infile "$WORK/empty.raw"
              hint { show on description "Try Output" } }
CONF
export ALSA_CONFIG_PATH="$WORK/asound.conf"

"$CLI" settings set Settings SampleRate $RATE >/dev/null
"$CLI" settings set --machine Settings RecordDevice 1 >/dev/null
"$CLI" settings set --machine Settings PlayDevice 2 >/dev/null
# Voice activation off: every block is loud enough.
"$CLI" settings set --machine Settings VoiceActivateLevel -127 >/dev/null
"$CLI" settings set Settings RecordMode 0 >/dev/null
for kv in "Width 560" "Height 420" "X 0" "Y 0"; do
    set -- $kv
    "$CLI" settings set --machine MainWindow "$1" "$2" >/dev/null
done

for n in $(seq 90 130); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { DISPLAY_NUMBER=$n; break; }
done
Xvfb ":$DISPLAY_NUMBER" -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
XPID=$!
export DISPLAY=":$DISPLAY_NUMBER"
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$DISPLAY_NUMBER" ] && break; sleep 0.1; done

QT_QPA_PLATFORM=xcb "$TAVRINE" >"$WORK/tavrine.log" 2>&1 &
APID=$!
WID=
for _ in $(seq 100); do
    WID=$(xdotool search --onlyvisible --name "Tavrine Dictate" 2>/dev/null | head -1 || true)
    [ -n "$WID" ] && break
    sleep 0.1
done
[ -n "$WID" ] || { echo "tavrine did not show its window" >&2; cat "$WORK/tavrine.log" >&2; exit 1; }
sleep 0.5
key() { xdotool windowfocus --sync "$WID" key --clearmodifiers "$@"; }

# New dictation (Ctrl+N), then Record (F5).
key ctrl+n
for _ in $(seq 50); do ls "$XDG_DATA_HOME"/*/*/Current/*.ddf >/dev/null 2>&1 && break; ls -R "$XDG_DATA_HOME" 2>/dev/null | grep -q '\.ddf$' && break; sleep 0.1; done
DDF=$(find "$XDG_DATA_HOME" -name '*.ddf' | head -1)
[ -n "$DDF" ] || { echo "no dictation was made" >&2; exit 1; }
sleep 0.3
key F5
# Recorded until the cut holds at least 5 s (2 bytes a sample). The null PCM
# has no clock, so the capture runs far faster than real time and, after the
# 6 s of input, goes on with silence until Escape arrives: the dictation ends
# up longer than the input, and the comparison takes its first 5 s.
NEED=$((RATE * 2 * 5))
for _ in $(seq 200); do
    SIZE=$(find "$(dirname "$DDF")" -name '*.dau' -printf '%s\n' | sort -n | tail -1)
    [ "${SIZE:-0}" -ge "$NEED" ] && break
    sleep 0.05
done
key Escape
sleep 0.5
SECONDS_RECORDED=$(python3 -c "import os,glob; print(round(sum(os.path.getsize(f) for f in glob.glob('$(dirname "$DDF")/*.dau'))/2/$RATE, 2))")
echo "recorded: $SECONDS_RECORDED s in the dictation's cut files"

# Play from the start (Home, then F9) to the ALSA test output.
key Home
key F9
for _ in $(seq 100); do
    [ -s "$WORK/played.raw" ] && [ "$(stat -c %s "$WORK/played.raw")" -ge "$NEED" ] && break
    sleep 0.1
done
sleep 1
mkdir -p "$(dirname "$OUT_PNG")"
ffmpeg -loglevel error -y -f x11grab -video_size 800x600 -i "$DISPLAY" -frames:v 1 "$WORK/screen.png"
# Only the window's part of the screen.
ffmpeg -loglevel error -y -i "$WORK/screen.png" -vf "crop=560:420:0:0" "$OUT_PNG"
key Escape
# Quit as a session end would: tavrine closes its window on SIGTERM.
kill -TERM "$APID"
for _ in $(seq 50); do kill -0 "$APID" 2>/dev/null || break; sleep 0.1; done
wait "$APID" 2>/dev/null || true
APID=

echo "input:  $(sox -t raw -r $RATE -e signed -b 16 -c 1 "$WORK/input.raw" -n stat 2>&1 | grep -E 'Length|RMS +amplitude' | tr -s ' ' | paste -sd';')"
echo "played: $(sox -t raw -r $RATE -e signed -b 16 -c 1 "$WORK/played.raw" -n stat 2>&1 | grep -E 'Length|RMS +amplitude' | tr -s ' ' | paste -sd';')"
python3 - "$WORK/input.raw" "$WORK/played.raw" $RATE <<'PY'
import array, math, sys
def load(path):
    a = array.array('h')
    with open(path, 'rb') as f:
        a.frombytes(f.read())
    return a
inp, out, rate = load(sys.argv[1]), load(sys.argv[2]), int(sys.argv[3])
def onset(a):
    for i, v in enumerate(a):
        if abs(v) > 2000:
            return i
    return None
i0, o0 = onset(inp), onset(out)
if o0 is None:
    print("played output is silent"); sys.exit(1)
n = 5 * rate
best = (-2.0, 0)
step = 4
for lag in range(-200, 201):
    s = o0 - i0 + lag
    if s < 0 or s + n > len(out):
        continue
    sxy = sxx = syy = 0.0
    for k in range(0, n, step * 8):
        x, y = inp[k], out[s + k]
        sxy += x * y; sxx += x * x; syy += y * y
    r = sxy / math.sqrt(sxx * syy) if sxx and syy else 0
    if r > best[0]:
        best = (r, s)
r, s = best
if s < 0 or s + n > len(out):
    print("played output shorter than 5 s"); sys.exit(1)
sxy = sxx = syy = 0.0
for k in range(n):
    x, y = inp[k], out[s + k]
    sxy += x * y; sxx += x * x; syy += y * y
r = sxy / math.sqrt(sxx * syy)
print(f"played {len(out)/rate:.2f} s; first 5 s of the input found at {s/rate*1000:.1f} ms of the output; correlation {r:.4f}")
sys.exit(0 if r > 0.98 else 1)
PY
echo "wrote $OUT_PNG"
