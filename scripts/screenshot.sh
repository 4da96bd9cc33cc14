#!/usr/bin/env bash
# Pictures of the main window (empty, with dictations, recording, playing),
# the dock window and the sent-work dialog, in the light and the dark palette
# at 100 % and 200 %, into docs/screenshots/ (scripts/lib/shoot_common.sh),
# with tavrine on a private X server (Xvfb), a private home and ALSA devices
# that are files. docs/screenshot.png is the light main window with dictations.
# Usage: scripts/screenshot.sh [build dir] [row name ...]
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build/normal}
shift || true
TAVRINE="$BUILD/app/desktop/tavrine"
CLI="$BUILD/app/cli/tavrine-cli"
OUT=docs/screenshots
for tool in Xvfb xdotool sox ffmpeg dbus-daemon dbus-send; do
    command -v "$tool" >/dev/null || { echo "needs $tool" >&2; exit 2; }
done
[ -x "$TAVRINE" ] && [ -x "$CLI" ] || { echo "build tavrine and tavrine-cli in $BUILD first" >&2; exit 2; }

# Rows as in scripts/lib/shoot_common.sh. F5 latches recording on (a short
# press), F9 plays the letter from its start; the shift presses only let them
# run for two seconds; Escape after each stops it. Ctrl+S sends
# the current dictation to the folder recipient, so the sent work lists one.
EMPTY_ROWS=("main-empty||main")
MAIN_ROWS=(
    "main-dictations||main"
    "main-recording|F5 shift shift shift shift shift shift shift shift|main"
    "main-playing|Up Home F9 shift shift shift shift shift shift shift shift|main"
    "dock|ctrl+d Down Return|Transfer from Portable Dictaphone"
    "sent-work|ctrl+s shift shift shift shift shift shift ctrl+w|Work Progress"
)

prestore_empty() { :; }
prestore_dictations() {
    paced_devices
    "$CLI" recipient add Typist SendMethod=2 "Folder=$WORK/inbox" >/dev/null
    mkdir -p "$WORK/inbox"
    "$CLI" settings set Send Default 0 >/dev/null
    LETTER=$("$CLI" new --name "Letter to Dr Hale" --priority 100 \
        --notes "Referral for knee surgery, two pages; copy to the practice")
    MINUTES=$("$CLI" new --name "Clinic minutes 3 Dec" --priority 50 --notes "Minutes of the weekly meeting")
    "$CLI" new --name "Discharge summary" --priority 20 >/dev/null
    # Some audio, so that the durations show.
    sox -n -r 11025 -c 1 -b 16 "$WORK/a.wav" synth 75 sine 440 vol 0.05
    sox -n -r 11025 -c 1 -b 16 "$WORK/b.wav" synth 191 sine 330 vol 0.05
    "$CLI" record "$LETTER" --from "$WORK/a.wav" >/dev/null
    "$CLI" record "$MINUTES" --from "$WORK/b.wav" >/dev/null
    "$CLI" new --name "Memo to reception" --priority 50 --notes "Opening hours over the holidays" >/dev/null
}

# Recording in each mode (Settings/RecordMode 0 append, 1 insert, 2
# overwrite): the red indicator beside the time names it.
RECORD_ROWS=("main-recording-MODE|F5 shift shift shift shift shift shift|main")
prestore_mode() {
    prestore_dictations
    "$CLI" settings set Settings RecordMode "$RECORD_MODE" >/dev/null
}
# Sends in every state: one delivered to the folder, one sending through a
# slow command, one waiting behind it, and one that failed (its folder is
# gone): the failure's message first, then the list and Sent Work.
STATUS_ROWS=(
    "send-failed||Tavrine Dictate"
    "main-send-status||main"
    "sent-work-states|ctrl+w|Work Progress"
)
prestore_states() {
    prestore_dictations
    printf '#!/bin/sh\nsleep 120\n' >"$WORK/slow.sh"
    chmod +x "$WORK/slow.sh"
    "$CLI" recipient add "Night typist" SendMethod=4 "RunCommand=$WORK/slow.sh" >/dev/null
    "$CLI" recipient add "Old share" SendMethod=2 "Folder=$WORK/gone" >/dev/null
    local memo discharge
    memo=$("$CLI" list | awk -F'\t' '/Memo to reception/ { print $1 }')
    discharge=$("$CLI" list | awk -F'\t' '/Discharge summary/ { print $1 }')
    "$CLI" send "$memo" --to 0 >/dev/null && "$CLI" queue work >/dev/null
    "$CLI" send "$discharge" --to 2 >/dev/null
    "$CLI" send "$LETTER" --to 1 >/dev/null
    "$CLI" send "$MINUTES" --to 1 >/dev/null
}

# The desktop's notification of a send that ended while the window was in the
# background, drawn by Debian's notification-daemon on a private bus: the
# whole screen, the bubble in its corner.
shoot_notification() { # suffix scheme
    wanted() { [ ${#WANTED[@]} -eq 0 ] || [[ " ${WANTED[*]} " == *" $1 "* ]]; }
    wanted notification || return 0
    local DAEMON=/usr/lib/notification-daemon/notification-daemon
    [ -x "$DAEMON" ] || { echo "needs notification-daemon" >&2; exit 2; }
    export QT_SCALE_FACTOR=1
    try_setup
    if [ "$2" = dark ]; then
        dark_bus
    else
        dbus-daemon --session --nofork --nopidfile --print-address=3 3>"$WORK/bus.address" &
        EXTRA_PIDS=$!
        for _ in $(seq 50); do [ -s "$WORK/bus.address" ] && break; sleep 0.1; done
        export DBUS_SESSION_BUS_ADDRESS=$(head -1 "$WORK/bus.address")
    fi
    prestore_dictations
    printf '#!/bin/sh\nsleep 3\n' >"$WORK/slow.sh"
    chmod +x "$WORK/slow.sh"
    "$CLI" recipient add "Night typist" SendMethod=4 "RunCommand=$WORK/slow.sh" >/dev/null
    "$CLI" settings set Send Default 1 >/dev/null
    export TRY_SCREEN=${SHOOT_W}x${SHOOT_H}
    try_start_window
    "$DAEMON" >/dev/null 2>&1 &
    EXTRA_PIDS="$EXTRA_PIDS $!"
    for _ in $(seq 50); do
        dbus-send --session --print-reply --dest=org.freedesktop.DBus / org.freedesktop.DBus.NameHasOwner \
            string:org.freedesktop.Notifications 2>/dev/null | grep -q true && break
        sleep 0.1
    done
    key ctrl+s
    sleep 1
    # Away from the window: the focus to the screen's root.
    xdotool windowfocus "$(xdotool search --maxdepth 0 --name '' 2>/dev/null | head -1)" 2>/dev/null || true
    sleep 5
    ffmpeg -loglevel error -y -f x11grab -video_size "$TRY_SCREEN" -i "$DISPLAY" -frames:v 1 "$OUT/notification$1.png"
    command -v optipng >/dev/null && optipng -quiet -o2 "$OUT/notification$1.png"
    echo "wrote $OUT/notification$1.png"
    try_quit
    trap - EXIT
    cleanup
}

. scripts/lib/try_common.sh
. scripts/lib/shoot_common.sh
mkdir -p "$OUT"
SHOOT_W=1200
SHOOT_H=900
export TRY_FIRST_START=1

WANTED=("$@")
shoot_all prestore_empty "${EMPTY_ROWS[@]}"
shoot_all prestore_dictations "${MAIN_ROWS[@]}"
for RECORD_MODE in 0 1 2; do
    MODE_NAME=(append insert overwrite)
    shoot_all prestore_mode "${RECORD_ROWS[@]//MODE/${MODE_NAME[$RECORD_MODE]}}"
done
shoot_all prestore_states "${STATUS_ROWS[@]}"
shoot_notification "" light
shoot_notification -dark dark
[ -f "$OUT/main-dictations.png" ] && cp "$OUT/main-dictations.png" docs/screenshot.png

# The typist's program draws its own pictures (--screenshot FILE WHAT): the job
# list over a folder the dictator sent three dictations to, the compact bar and
# each settings page, light and dark. Rows: name|what.
SCRIBE="$BUILD/app/scribe/tavrine-scribe"
SCRIBE_ROWS=("scribe-list|list" "scribe-bar|bar" "scribe-sources|settings:0" "scribe-keys|settings:1"
    "scribe-typist|settings:2" "scribe-pedals|settings:3" "scribe-playback|settings:4")
prestore_scribe() {
    mkdir -p "$WORK/inbox"
    "$CLI" recipient add Typist SendMethod=2 "Folder=$WORK/inbox" >/dev/null
    "$CLI" settings set Send Default 0 >/dev/null
    sox -n -r 11025 -c 1 -b 16 "$WORK/a.wav" synth 75 sine 440 vol 0.05
    local n
    for args in "Letter to Dr Hale|100|Referral for knee surgery <fileno>4711</fileno> <client>Hale</client>" \
        "Clinic minutes 3 Dec|50|Minutes of the weekly meeting" "Discharge summary|20|Ward 3, two pages"; do
        IFS='|' read -r name priority notes <<<"$args"
        n=$("$CLI" new --name "$name" --priority "$priority" --notes "$notes")
        "$CLI" record "$n" --from "$WORK/a.wav" >/dev/null
        "$CLI" send "$n" >/dev/null
    done
    "$CLI" queue work >/dev/null
    "$CLI" scribe source add office "Folder=$WORK/inbox" >/dev/null
    "$CLI" settings set Scribe TypistName "Ann Typist" >/dev/null
}
wanted_scribe() { [ ${#WANTED[@]} -eq 0 ] || [[ " ${WANTED[*]} " == *" $1 "* ]]; }
if [ -x "$SCRIBE" ]; then
    for variant in "||light" "-dark|dark"; do
        IFS='|' read -r SUFFIX SCHEME <<<"$variant"
        ANY=
        for row in "${SCRIBE_ROWS[@]}"; do wanted_scribe "${row%%|*}" && ANY=1; done
        [ -n "$ANY" ] || continue
        try_setup
        [ "$SCHEME" = dark ] && dark_bus
        prestore_scribe
        for row in "${SCRIBE_ROWS[@]}"; do
            IFS='|' read -r NAME WHAT <<<"$row"
            wanted_scribe "$NAME" || continue
            QT_QPA_PLATFORM=offscreen "$SCRIBE" --screenshot "$OUT/$NAME$SUFFIX.png" "$WHAT"
            command -v optipng >/dev/null && optipng -quiet -o2 "$OUT/$NAME$SUFFIX.png"
            echo "wrote $OUT/$NAME$SUFFIX.png"
        done
        trap - EXIT
        cleanup
    done
fi
