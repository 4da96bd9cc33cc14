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

# One row a window: name | keys (xdotool key names, sent to the window with
# the focus, the topmost one of tavrine when the row starts; several open one
# window after another; Tab counts follow the dialogs' fixed focus order) |
# the title waited for | "keep" to leave the window open for the next row.
# Escape presses close what was opened, so keep the nesting in the keys.
# The sheet opens on Devices; Ctrl+Tab goes on to Options, Keys, Send, User.
SHEET_ROWS=(
    "devices|alt+s Return|Settings"
    "options|alt+s Return ctrl+Tab|Settings"
    "prompt-validation|alt+s Return ctrl+Tab Tab Tab Tab space|Prompt Data Validation"
    "keys|alt+s Return ctrl+Tab ctrl+Tab|Settings"
    "press-key|alt+s Return ctrl+Tab ctrl+Tab Tab Tab space|Press Key"
    "select-command|alt+s Return ctrl+Tab ctrl+Tab Tab Tab space F9|Select Command"
    "sheet-send|alt+s Down Return|Settings"
    "recipient|alt+s Down Return Tab space Tab Tab Tab space|Send To Typist Recipient Properties"
    "email-settings|alt+s Down Return Tab space Tab Tab Tab space Tab Tab Tab Tab Tab Tab space|Email Settings"
    "wave-format|alt+s Down Return Tab space Tab Tab Tab space Tab Tab space|Select Wave File Format"
    # PCM chosen: its attributes are the longest.
    "wave-format-pcm|alt+s Down Return Tab space Tab Tab Tab space Tab Tab space Home Tab End|Select Wave File Format"
    "user|alt+s Down Down Return|Settings"
    # COM1 chosen on the page, not stored: no serial device answers, and the
    # dialog says so.
    "test-controller|alt+s Return Tab Tab Tab Tab Tab Tab c Tab space|Test Controller"
)
# The first-run wizard shows by itself once the window is up.
WIZARD_ROWS=(
    "wizard-record||Tavrine Dictate|keep"
    "wizard-playback|Return|Tavrine Dictate|keep"
    "wizard-quickstart|Return|Tavrine Dictate"
)

# What the rows need stored before the window starts: a recipient whose
# Email and WAV choices enable the e-mail settings and format buttons, the
# data prompt on so its Validation button can be pressed, and two hot keys
# (F7 Record, F8 Play) for the Keys page to list.
prestore_sheet() {
    for kv in "Key0 118" "Key0Command 3" "Key1 119" "Key1Command 4" "Count 2"; do
        "$CLI" settings set Keys "${kv% *}" "${kv#* }" >/dev/null
    done
    "$CLI" recipient add "Typing Pool" SendMethod=1 EmailTo=typist@example.com SendFileFormat=1 >/dev/null
    "$CLI" settings set Prompt1 Prompt 1 >/dev/null
}
prestore_wizard() {
    "$CLI" settings set Settings InstallWizRun 0 >/dev/null
    # The null device is not paced: the wizard's live level reads it as fast
    # as it can, and a file of what it read would fill the disk.
    sed -i "s|file \"$WORK/captured.raw\"|file \"/dev/null\"|" "$ALSA_CONFIG_PATH"
}

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

# The topmost window of tavrine: the main window when nothing else is open.
top_window() {
    xdotool search --onlyvisible --class tavrine 2>/dev/null | grep -v "^$WID$" | tail -1 || true
}

# Closes everything the rows opened, back to the main window.
close_all() {
    for _ in $(seq 6); do
        TOP=$(top_window)
        [ -n "$TOP" ] || break
        xdotool windowfocus --sync "$TOP" key Escape 2>/dev/null || true
        sleep 0.3
    done
}

shoot() { # scale suffix prestore-function row...
    local SCALE=$1 SUFFIX=$2 PRESTORE=$3
    shift 3
    wanted() { [ ${#WANTED[@]} -eq 0 ] || [[ " ${WANTED[*]} " == *" $1 "* ]]; }
    local ANY=
    for row in "$@"; do
        IFS='|' read -r NAME _ <<<"$row"
        wanted "$NAME" && ANY=1
    done
    [ -n "$ANY" ] || return 0
    export QT_SCALE_FACTOR=$SCALE
    try_setup
    "$PRESTORE"
    export TRY_SCREEN=${SCREEN_W}x${SCREEN_H}
    try_start_window
    local KEPT=
    for row in "$@"; do
        IFS='|' read -r NAME KEYS TITLE KEEP <<<"$row"
        # A row left open is gone through even when not pictured: the rows
        # after it start where it left off.
        local SHOW=
        wanted "$NAME" && SHOW=1
        [ -n "$SHOW$KEPT" ] || [ "$KEEP" = keep ] || continue
        KEPT=
        TOP=$(top_window)
        xdotool windowfocus --sync "${TOP:-$WID}"
        for k in $KEYS; do
            xdotool key --clearmodifiers "$k"
            sleep 0.25
        done
        W=$(find_window "$TITLE")
        [ -n "$W" ] || { echo "$NAME: no window titled \"$TITLE\"" >&2; cat "$WORK/tavrine.log" >&2; exit 1; }
        if [ -z "$SHOW" ]; then
            [ "$KEEP" = keep ] && { KEPT=1; continue; }
            close_all
            continue
        fi
        xdotool windowmove "$W" 10 10
        # The pointer out of the picture.
        xdotool mousemove $((SCREEN_W - 1)) $((SCREEN_H - 1))
        sleep 0.5
        eval "$(xdotool getwindowgeometry --shell "$W")"
        ffmpeg -loglevel error -y -f x11grab -video_size ${SCREEN_W}x${SCREEN_H} -i "$DISPLAY" -frames:v 1 \
            "$WORK/screen.png"
        # Xvfb runs no window manager: the window has no frame to cut off.
        ffmpeg -loglevel error -y -i "$WORK/screen.png" -vf "crop=$WIDTH:$HEIGHT:$X:$Y" "$OUT/$NAME$SUFFIX.png"
        echo "wrote $OUT/$NAME$SUFFIX.png (${WIDTH}x$HEIGHT)"
        [ "$KEEP" = keep ] && { KEPT=1; continue; }
        close_all
    done
    try_quit
    trap - EXIT
    cleanup
}

WANTED=("$@")
for scale in "1|" "1.5|-150"; do
    IFS='|' read -r FACTOR SUFFIX <<<"$scale"
    shoot "$FACTOR" "$SUFFIX" prestore_sheet "${SHEET_ROWS[@]}"
    shoot "$FACTOR" "$SUFFIX" prestore_wizard "${WIZARD_ROWS[@]}"
done
