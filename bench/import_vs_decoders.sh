#!/usr/bin/env bash
# Importing one hour of speech into a dictation: tavrine-cli load of a
# 128 kbit/s MP3 (our own decoder) against ffmpeg -i IN.mp3 OUT.wav, and of
# a FLAC file (flac -d run by the program, writing into the dictation)
# against flac -d alone. Timed by /usr/bin/time in CPU seconds (user +
# system of the command and the children it waited for), as the machine may
# be shared, over rounds that alternate ours and theirs. Prints each round's
# ratio (ours / theirs) and the median.
# Usage: bench/import_vs_decoders.sh [path/to/tavrine-cli] [seconds of audio] [rounds]
set -euo pipefail

CLI=$(realpath "${1:-build/release/app/cli/tavrine-cli}")
SECONDS_OF_AUDIO=${2:-3600}
ROUNDS=${3:-5}
for tool in espeak-ng sox lame flac ffmpeg /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "$tool is not installed" >&2; exit 1; }
done
[ -x "$CLI" ] || { echo "no tavrine-cli at $CLI" >&2; exit 1; }

WORK=$(mktemp -d "${TMPDIR:-/tmp}/import_vs_decoders.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
# No settings or dictations of the user's are touched.
export XDG_CONFIG_HOME="$WORK/config" XDG_DATA_HOME="$WORK/data" TAVRINE_MACHINE_CONFIG="$WORK/machine.conf"

espeak-ng -w "$WORK/voice.wav" "Please send the signed contract to the office by Friday, and copy the team." 
sox "$WORK/voice.wav" -r 44100 -c 2 "$WORK/one.wav"
one=$(soxi -D "$WORK/one.wav")
sox "$WORK/one.wav" "$WORK/in.wav" repeat "$(awk -v s="$SECONDS_OF_AUDIO" -v o="$one" 'BEGIN { print int(s / o) }')"
lame --quiet -b 128 "$WORK/in.wav" "$WORK/in.mp3"
flac -s "$WORK/in.wav" -o "$WORK/in.flac"
rm -f "$WORK/in.wav"
echo "input: $(soxi -d "$WORK/in.mp3") of 44100 Hz stereo speech; MP3 $(du -h "$WORK/in.mp3" | cut -f1), FLAC $(du -h "$WORK/in.flac" | cut -f1)"

cpu() { # command and its arguments: prints its CPU seconds
    /usr/bin/time -f "%U %S" -o "$WORK/time" "$@" >/dev/null
    awk '{ print $1 + $2 }' "$WORK/time"
}
run() { # name, then ours and theirs as two arrays' names
    local -n ours=$2 theirs=$3
    local a b ratios=()
    for _ in $(seq "$ROUNDS"); do
        rm -rf "$WORK/data" "$WORK"/*.out.wav
        a=$(cpu "${ours[@]}")
        b=$(cpu "${theirs[@]}")
        ratios+=("$(awk -v a="$a" -v b="$b" 'BEGIN { printf "%.3f", (b > 0 ? a / b : 0) }')")
        echo "   $1: ours $a s CPU, theirs $b s CPU"
    done
    printf '%s\n' "${ratios[@]}" | sort -n | awk -v n="$1" '{ r[NR] = $1 } END { printf "== %s: median ratio %.3f over %d rounds (%s to %s)\n", n, r[int((NR + 1) / 2)], NR, r[1], r[NR] }'
}
mine=("$CLI" load "$WORK/in.mp3")
peer=(ffmpeg -nostdin -v error -y -i "$WORK/in.mp3" "$WORK/ffmpeg.out.wav")
run "MP3: tavrine-cli load vs ffmpeg" mine peer
mine=("$CLI" load "$WORK/in.flac")
peer=(flac -s -f -d -o "$WORK/flac.out.wav" "$WORK/in.flac")
run "FLAC: tavrine-cli load vs flac -d" mine peer
