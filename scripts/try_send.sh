#!/usr/bin/env bash
# Tries sending and loading as a new user would: tavrine on a private X
# server (Xvfb) with a private home and ALSA file devices. A dictation is
# recorded with the keyboard (xdotool), the send-to menu (Ctrl+R) is shown
# and photographed, Ctrl+S sends it to a folder recipient added with
# tavrine-cli and the script waits for the DCT file there; then an MP3 and a
# FLAC file are loaded through the Load menu and its file dialog. Writes
# docs/try_send_menu.png and docs/try_send_status.png.
# Usage: scripts/try_send.sh [build dir]
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build/normal}
TAVRINE="$BUILD/app/desktop/tavrine"
CLI="$BUILD/app/cli/tavrine-cli"
for tool in Xvfb xdotool sox ffmpeg lame flac python3; do
    command -v "$tool" >/dev/null || { echo "needs $tool" >&2; exit 2; }
done
[ -x "$TAVRINE" ] && [ -x "$CLI" ] || { echo "build tavrine and tavrine-cli in $BUILD first" >&2; exit 2; }

. scripts/lib/try_common.sh
try_setup
mkdir -p "$WORK/inbox" "$WORK/media"
"$CLI" recipient add Typist SendMethod=2 "Folder=$WORK/inbox" >/dev/null
"$CLI" recipient add "Second Typist" SendMethod=2 "Folder=$WORK/inbox2" >/dev/null
"$CLI" settings set Settings LoadFolder "$WORK/media" >/dev/null
"$CLI" settings set Send Default 0 >/dev/null
sox -n -r 22050 -c 1 -b 16 "$WORK/media/tone.wav" synth 3 sine 440 vol 0.5
lame --quiet -b 64 "$WORK/media/tone.wav" "$WORK/media/speech.mp3"
sox -n -r 16000 -c 1 -b 16 "$WORK/media/voice.flac" synth 2 sine 300-900 vol 0.5
try_start_window

shot() { # shot NAME [WIDTH]: the window's part of the screen (wider for a menu that runs past it)
    ffmpeg -loglevel error -y -f x11grab -video_size 800x600 -i "$DISPLAY" -frames:v 1 "$WORK/screen.png"
    mkdir -p docs
    ffmpeg -loglevel error -y -i "$WORK/screen.png" -vf "crop=${2:-560}:420:0:0" "docs/$1.png"
}
current() { find "$XDG_DATA_HOME" -path '*Current/*.ddf' | wc -l; }

# New dictation (Ctrl+N), recorded (F5) for about 2 s of input, stopped (Escape).
key ctrl+n
for _ in $(seq 50); do [ "$(current)" -ge 1 ] && break; sleep 0.1; done
[ "$(current)" -ge 1 ] || { echo "no dictation was made" >&2; exit 1; }
DDF=$(find "$XDG_DATA_HOME" -path '*Current/*.ddf' | head -1)
sleep 0.3
key F5
for _ in $(seq 200); do
    SIZE=$(find "$(dirname "$DDF")" -name '*.dau' -printf '%s\n' | sort -n | tail -1)
    [ "${SIZE:-0}" -ge $((RATE * 2 * 2)) ] && break
    sleep 0.05
done
key Escape
sleep 0.5

# The send-to menu at the cursor, inside the window.
xdotool mousemove --sync 120 160
key ctrl+r
sleep 0.8
shot try_send_menu 800
key Escape
sleep 0.3

# Send to the default recipient; the status bar shows the send.
key ctrl+s
sleep 0.3
shot try_send_status
for _ in $(seq 100); do ls "$WORK/inbox"/*.dct >/dev/null 2>&1 && break; sleep 0.1; done
ls "$WORK/inbox"/*.dct >/dev/null 2>&1 || { echo "nothing arrived in the recipient's folder" >&2; cat "$WORK/tavrine.log" >&2; exit 1; }
echo "arrived: $(cd "$WORK/inbox" && ls *.dct)"
"$CLI" dct "$WORK/inbox"/*.dct | grep -E '^(Name|Audio):'
[ "$(current)" -eq 0 ] || { echo "the sent dictation is still in Current" >&2; exit 1; }

# Load (Dictation menu, "Load Audio File..."): the menu by the keyboard, the
# two files typed into the file dialog's name field.
# Waits for the menu's own window rather than a fixed time: on a loaded
# machine the menu opened after the arrows had gone to the list.
shown() { xdotool search --onlyvisible --pid "$APID" 2>/dev/null | wc -l; }
BEFORE=$(shown)
key alt+d
for _ in $(seq 100); do [ "$(shown)" -gt "$BEFORE" ] && break; sleep 0.1; done
[ "$(shown)" -gt "$BEFORE" ] || { echo "Alt+D did not open the Dictation menu" >&2; exit 1; }
sleep 0.3
# The open menu and then the file dialog have the keyboard: no focusing of
# the window in between. With nothing selected, New is highlighted and the
# enabled items below it are the dock submenu and Load Audio File.
for _ in 1 2; do xdotool key Down; sleep 0.05; done
xdotool key Return
for _ in $(seq 100); do xdotool search --onlyvisible --name "Load File" >/dev/null 2>&1 && break; sleep 0.1; done
xdotool search --onlyvisible --name "Load File" >/dev/null 2>&1 || { echo "the Load dialog did not open" >&2; exit 1; }
sleep 0.5
xdotool type --delay 20 '"speech.mp3" "voice.flac"'
xdotool key Return
for _ in $(seq 100); do [ "$(current)" -ge 2 ] && break; sleep 0.1; done
sleep 0.5
shot try_send_loaded
"$CLI" list
[ "$(current)" -eq 2 ] || { echo "the MP3 and the FLAC file were not both loaded" >&2; exit 1; }

try_quit
echo "wrote docs/try_send_menu.png docs/try_send_status.png docs/try_send_loaded.png"
