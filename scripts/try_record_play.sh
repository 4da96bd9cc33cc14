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

. scripts/lib/try_common.sh
try_setup
try_start_window

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
try_quit

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
