# Shared by scripts/screenshot.sh and scripts/shoot_settings.sh: tavrine on a
# private Xvfb (scripts/lib/try_common.sh), driven by rows of keys, each
# row's window captured alone into $OUT/NAME$SUFFIX.png, in the light and the
# dark palette at 100 % and 200 %. Source it after try_common.sh and setting
# OUT, SHOOT_W and SHOOT_H (the screen at 100 %); then call shoot_all.
#
# A row: name | keys (xdotool key names, sent to the window with the focus,
# the topmost one of tavrine when the row starts) | the title waited for
# ("main": the main window itself) | "keep" to leave the window open for the
# next row. Escape presses close what was opened, so keep the nesting in the
# keys; after a main-window row Escape stops what its keys started.

# The window titled $1 that is not the main window; empty when none shows.
find_window() {
    [ "$1" = main ] && { echo "$WID"; return; }
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

# The desktop's dark choice, as a desktop portal gives it: a private session
# bus with the test portal on it, answering color-scheme 1 (prefer dark).
dark_bus() {
    dbus-daemon --session --nofork --nopidfile --print-address=3 3>"$WORK/bus.address" &
    BPID=$!
    for _ in $(seq 50); do [ -s "$WORK/bus.address" ] && break; sleep 0.1; done
    export DBUS_SESSION_BUS_ADDRESS=$(head -1 "$WORK/bus.address")
    FAKE_PORTAL_COLOR_SCHEME=1 /usr/bin/python3 tests/desktop/fake_portal.py >/dev/null 2>&1 &
    FPID=$!
    for _ in $(seq 50); do
        dbus-send --session --print-reply --dest=org.freedesktop.DBus / org.freedesktop.DBus.NameHasOwner \
            string:org.freedesktop.portal.Desktop 2>/dev/null | grep -q true && break
        sleep 0.1
    done
    EXTRA_PIDS="$FPID $BPID"
}

# Recording and playing at their true pace, so that pictures show them under
# way with the level lit: the ALSA file devices read and write named pipes
# that scripts/lib/paced_fifo.py feeds and drains at the sample rate.
paced_devices() {
    mkfifo "$WORK/in.pipe" "$WORK/out.pipe"
    sed -i -e "s|file \"[^\"]*\" infile \"$WORK/input.raw\"|file \"/dev/null\" infile \"$WORK/in.pipe\"|" \
        -e "s|file \"$WORK/played.raw\"|file \"$WORK/out.pipe\"|" "$ALSA_CONFIG_PATH"
    /usr/bin/python3 scripts/lib/paced_fifo.py "$WORK/in.pipe" w $RATE &
    EXTRA_PIDS="$EXTRA_PIDS $!"
    /usr/bin/python3 scripts/lib/paced_fifo.py "$WORK/out.pipe" r $RATE &
    EXTRA_PIDS="$EXTRA_PIDS $!"
}

shoot() { # scale suffix scheme prestore-function row...
    local SCALE=$1 SUFFIX=$2 SCHEME=$3 PRESTORE=$4
    shift 4
    wanted() { [ ${#WANTED[@]} -eq 0 ] || [[ " ${WANTED[*]} " == *" $1 "* ]]; }
    local ANY=
    for row in "$@"; do
        IFS='|' read -r NAME _ <<<"$row"
        wanted "$NAME" && ANY=1
    done
    [ -n "$ANY" ] || return 0
    export QT_SCALE_FACTOR=$SCALE
    try_setup
    [ "$SCHEME" = dark ] && dark_bus
    "$PRESTORE"
    local SCREEN_W SCREEN_H
    SCREEN_W=$(awk "BEGIN { print int($SHOOT_W * $SCALE) }")
    SCREEN_H=$(awk "BEGIN { print int($SHOOT_H * $SCALE) }")
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
        if [ -z "$W" ]; then
            echo "$NAME: no window titled \"$TITLE\"; open:" >&2
            for w in $(xdotool search --onlyvisible --class tavrine 2>/dev/null); do xdotool getwindowname "$w" >&2; done
            cat "$WORK/tavrine.log" >&2
            exit 1
        fi
        if [ -n "$SHOW" ]; then
            xdotool windowmove "$W" 0 0
            # The pointer out of the picture.
            xdotool mousemove $((SCREEN_W - 1)) $((SCREEN_H - 1))
            sleep 0.6
            eval "$(xdotool getwindowgeometry --shell "$W")"
            ffmpeg -loglevel error -y -f x11grab -video_size ${SCREEN_W}x${SCREEN_H} -i "$DISPLAY" -frames:v 1 \
                "$WORK/screen.png"
            # Xvfb runs no window manager: the window has no frame to cut off.
            ffmpeg -loglevel error -y -i "$WORK/screen.png" -vf "crop=$WIDTH:$HEIGHT:$X:$Y" "$OUT/$NAME$SUFFIX.png"
            command -v optipng >/dev/null && optipng -quiet -o2 "$OUT/$NAME$SUFFIX.png"
            echo "wrote $OUT/$NAME$SUFFIX.png (${WIDTH}x$HEIGHT)"
        fi
        [ "$KEEP" = keep ] && { KEPT=1; continue; }
        if [ "$TITLE" = main ]; then
            key Escape
            sleep 0.3
        fi
        close_all
    done
    try_quit
    trap - EXIT
    cleanup
}

# shoot_all prestore-function row...: every row in each palette and scale.
shoot_all() {
    local PRESTORE=$1 variant
    shift
    for variant in ${SHOOT_VARIANTS:-"1||light" "1|-dark|dark" "2|-200|light" "2|-dark-200|dark"}; do
        IFS='|' read -r FACTOR SUFFIX SCHEME <<<"$variant"
        shoot "$FACTOR" "$SUFFIX" "$SCHEME" "$PRESTORE" "$@"
    done
}
