#!/usr/bin/env bash
# Tries the audio-cable dock as a new user would: tavrine on a private X
# server (Xvfb) with a private home and ALSA devices that are files (the
# capture side reads a sox-made input standing in for the portable
# recorder's playback). Ctrl+D with no method chosen yet opens the menu of
# both methods; the audio-cable method is chosen from it with the keyboard;
# the dock window records the input and, 15 s after the sound, ends by
# itself; the tape must then be listed. Writes docs/try_dock.png (the dock
# window while it records).
# Usage: scripts/try_dock.sh [build dir]
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build/normal}
TAVRINE="$BUILD/app/desktop/tavrine"
CLI="$BUILD/app/cli/tavrine-cli"
OUT_PNG=docs/try_dock.png
for tool in Xvfb xdotool sox ffmpeg; do
    command -v "$tool" >/dev/null || { echo "needs $tool" >&2; exit 2; }
done
[ -x "$TAVRINE" ] && [ -x "$CLI" ] || { echo "build tavrine and tavrine-cli in $BUILD first" >&2; exit 2; }

. scripts/lib/try_common.sh
try_setup
# The dock records from the input that stands for the recorder's cable
# (device 1, "Try Input"), as the user would pick it in the window's list.
"$CLI" settings set --machine Dock RecordDevice 1 >/dev/null
try_start_window

# Ctrl+D: no method chosen yet, so the menu opens at the pointer.
xdotool mousemove --window "$WID" 100 100
key ctrl+d
MENU=
for _ in $(seq 50); do
    MENU=$(xdotool search --onlyvisible --class "tavrine" 2>/dev/null | grep -v "^$WID$" | head -1 || true)
    [ -n "$MENU" ] && break
    sleep 0.1
done
[ -n "$MENU" ] || { echo "Ctrl+D opened no menu" >&2; exit 1; }
sleep 0.3
xdotool key --clearmodifiers Down Return

DOCK=
for _ in $(seq 100); do
    DOCK=$(xdotool search --onlyvisible --name "Transfer from Portable Dictaphone" 2>/dev/null | head -1 || true)
    [ -n "$DOCK" ] && break
    sleep 0.1
done
[ -n "$DOCK" ] || { echo "the dock window did not open" >&2; cat "$WORK/tavrine.log" >&2; exit 1; }
xdotool windowmove "$DOCK" 20 20
STARTED=$(date +%s)
# The null PCM has no clock: the 6 s of input are read at once, then silence.
sleep 2
mkdir -p "$(dirname "$OUT_PNG")"
GEOMETRY=$(xdotool getwindowgeometry --shell "$DOCK")
eval "$GEOMETRY"
ffmpeg -loglevel error -y -f x11grab -video_size 800x600 -i "$DISPLAY" -frames:v 1 "$WORK/screen.png"
# Only the dock window (Xvfb runs no window manager, so no frame).
ffmpeg -loglevel error -y -i "$WORK/screen.png" -vf "crop=$WIDTH:$HEIGHT:$X:$Y" "$OUT_PNG"

# It ends by itself 15 s after the sound, pressing Done.
for _ in $(seq 300); do
    xdotool search --onlyvisible --name "Transfer from Portable Dictaphone" >/dev/null 2>&1 || break
    sleep 0.1
done
if xdotool search --onlyvisible --name "Transfer from Portable Dictaphone" >/dev/null 2>&1; then
    echo "the dock window did not end by itself" >&2
    exit 1
fi
echo "the dock window ended by itself $(( $(date +%s) - STARTED )) s after it opened"
try_quit

LIST=$("$CLI" list)
echo "$LIST"
echo "$LIST" | grep -q $'\tTape 001\t' || { echo "the tape is not listed" >&2; exit 1; }
echo "wrote $OUT_PNG"
