#!/usr/bin/env bash
# Makes docs/screenshot.png: the main window of tavrine over a private working
# folder holding a few dictations, drawn on a private X server (Xvfb) or, when
# there is none, on Qt's offscreen platform.
# Usage: scripts/screenshot.sh [build dir] [output png]
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build/normal}
OUT=${2:-docs/screenshot.png}
if [ ! -x "$BUILD/app/desktop/tavrine" ] || [ ! -x "$BUILD/app/cli/tavrine-cli" ]; then
    cmake --preset normal >/dev/null
    cmake --build --preset normal --target tavrine tavrine-cli
    BUILD=build/normal
fi
TAVRINE="$BUILD/app/desktop/tavrine"
CLI="$BUILD/app/cli/tavrine-cli"

WORK=$(mktemp -d "${TMPDIR:-/tmp}/tavrine-shot.XXXXXX")
XPID=
cleanup() {
    if [ -n "$XPID" ]; then kill "$XPID" 2>/dev/null || true; wait "$XPID" 2>/dev/null || true; fi
    rm -rf "$WORK"
}
trap cleanup EXIT
export XDG_CONFIG_HOME="$WORK/config" XDG_DATA_HOME="$WORK/data" TAVRINE_MACHINE_CONFIG="$WORK/machine.conf"
export XDG_RUNTIME_DIR="$WORK/run"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
# A bus address that leads nowhere keeps the instance check off the user's session.
export DBUS_SESSION_BUS_ADDRESS="unix:path=$WORK/no-bus"

LETTER=$("$CLI" new --name "Letter to Dr Hale" --priority 100 --notes "Referral for knee surgery, two pages; copy to the practice")
MINUTES=$("$CLI" new --name "Clinic minutes 3 Dec" --priority 50 --notes "Minutes of the weekly meeting")
"$CLI" new --name "Discharge summary" --priority 20 >/dev/null
# Some audio, so that the durations show.
if command -v sox >/dev/null; then
    sox -n -r 11025 -c 1 -b 16 "$WORK/a.wav" synth 75 sine 440 vol 0.05
    sox -n -r 11025 -c 1 -b 16 "$WORK/b.wav" synth 191 sine 330 vol 0.05
    "$CLI" record "$LETTER" --from "$WORK/a.wav" >/dev/null
    "$CLI" record "$MINUTES" --from "$WORK/b.wav" >/dev/null
fi
"$CLI" new --name "Memo to reception" --priority 50 --notes "Opening hours over the holidays" >/dev/null
"$CLI" settings set --machine MainWindow Width 640 >/dev/null
"$CLI" settings set --machine MainWindow Height 440 >/dev/null
"$CLI" settings set --machine MainWindow X 0 >/dev/null
"$CLI" settings set --machine MainWindow Y 0 >/dev/null
"$CLI" settings set MainWindow NotesDividerY 190 >/dev/null

mkdir -p "$(dirname "$OUT")"
if command -v Xvfb >/dev/null; then
    for n in $(seq 90 120); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { DISPLAY_NUMBER=$n; break; }
    done
    Xvfb ":$DISPLAY_NUMBER" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    XPID=$!
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$DISPLAY_NUMBER" ] && break; sleep 0.1; done
    DISPLAY=":$DISPLAY_NUMBER" QT_QPA_PLATFORM=xcb "$TAVRINE" --screenshot "$OUT"
else
    QT_QPA_PLATFORM=offscreen "$TAVRINE" --screenshot "$OUT"
fi
echo "wrote $OUT"
