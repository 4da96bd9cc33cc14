#!/usr/bin/env bash
# Pictures of the settings sheet's pages and dialogs, as a user opens them
# with the keyboard: tavrine on a private X server (Xvfb) with a private home
# and ALSA devices that are files, each row's window captured alone at the
# default scale and at 150 % into docs/settings/NAME.png and NAME-150.png.
# Usage: scripts/shoot_settings.sh [build dir] [row name ...]
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build/normal}
shift || true
TAVRINE="$BUILD/app/desktop/tavrine"
CLI="$BUILD/app/cli/tavrine-cli"
OUT=docs/settings
for tool in Xvfb xdotool sox ffmpeg; do
    command -v "$tool" >/dev/null || { echo "needs $tool" >&2; exit 2; }
done
[ -x "$TAVRINE" ] && [ -x "$CLI" ] || { echo "build tavrine and tavrine-cli in $BUILD first" >&2; exit 2; }

# One row a window: name | keys pressed in the main window (xdotool key
# names, several opening one window after another) | the title waited for.
# Escape presses close what was opened, so keep the nesting in the keys.
ROWS=(
    "devices|alt+s Return|Settings"
    "sheet-send|alt+s Down Return|Settings"
    "user|alt+s Down Down Return|Settings"
)

. scripts/lib/try_common.sh
mkdir -p "$OUT"
SCREEN_W=1400
SCREEN_H=1000

# The window titled $1 that is not the main window; empty when none shows.
find_window() {
    for _ in $(seq 50); do
        W=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | grep -v "^$WID$" | tail -1 || true)
        [ -n "$W" ] && { echo "$W"; return; }
        sleep 0.1
    done
}

shoot() { # scale suffix
    export QT_SCALE_FACTOR=$1
    try_setup
    export TRY_SCREEN=${SCREEN_W}x${SCREEN_H}
    try_start_window
    for row in "${ROWS[@]}"; do
        IFS='|' read -r NAME KEYS TITLE <<<"$row"
        if [ ${#WANTED[@]} -gt 0 ] && [[ ! " ${WANTED[*]} " == *" $NAME "* ]]; then continue; fi
        for k in $KEYS; do
            key "$k"
            sleep 0.2
        done
        W=$(find_window "$TITLE")
        [ -n "$W" ] || { echo "$NAME: no window titled \"$TITLE\"" >&2; cat "$WORK/tavrine.log" >&2; exit 1; }
        xdotool windowmove "$W" 10 10
        # The pointer out of the picture.
        xdotool mousemove $((SCREEN_W - 1)) $((SCREEN_H - 1))
        sleep 0.5
        eval "$(xdotool getwindowgeometry --shell "$W")"
        ffmpeg -loglevel error -y -f x11grab -video_size ${SCREEN_W}x${SCREEN_H} -i "$DISPLAY" -frames:v 1 \
            "$WORK/screen.png"
        # Xvfb runs no window manager: the window has no frame to cut off.
        ffmpeg -loglevel error -y -i "$WORK/screen.png" -vf "crop=$WIDTH:$HEIGHT:$X:$Y" "$OUT/$NAME$2.png"
        echo "wrote $OUT/$NAME$2.png (${WIDTH}x$HEIGHT)"
        # Close everything the row opened, back to the main window.
        for _ in $(seq 5); do
            TOP=$(xdotool search --onlyvisible --class tavrine 2>/dev/null | grep -v "^$WID$" | tail -1 || true)
            [ -n "$TOP" ] || break
            xdotool windowfocus --sync "$TOP" key Escape 2>/dev/null || true
            sleep 0.3
        done
    done
    try_quit
    trap - EXIT
    cleanup
}

WANTED=("$@")
shoot 1 ""
shoot 1.5 "-150"
