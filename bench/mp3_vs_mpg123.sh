#!/usr/bin/env bash
# MP3 decoding of one hour of 128 kbit/s 44.1 kHz stereo (made by lame from a
# sox signal): tavrine-cli convert to WAV against mpg123 -w, side by side.
# Prints each CPU time (best of 3) and the ratio (ours / theirs; at most 1 is
# no slower than mpg123), and how far the two WAV files differ.
# Usage: bench/mp3_vs_mpg123.sh [path/to/tavrine-cli] [seconds of audio]
set -euo pipefail

CLI=${1:-build/release/app/cli/tavrine-cli}
SECONDS_OF_AUDIO=${2:-3600}
for tool in sox lame mpg123 bc /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "$tool is not installed" >&2; exit 1; }
done
[ -x "$CLI" ] || { echo "no tavrine-cli at $CLI" >&2; exit 1; }

WORK=$(mktemp -d "${TMPDIR:-/tmp}/mp3_vs_mpg123.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
export XDG_CONFIG_HOME="$WORK/config" # no settings of the user's are read

# Music-like material: a gliding tone over pink noise that differs between the
# channels, under a slow tremolo, so that the encoder uses its whole toolbox.
sox -R -n -r 44100 -c 2 -b 16 "$WORK/in.wav" synth "$SECONDS_OF_AUDIO" sine 200-3000 pinknoise \
    tremolo 0.5 40 gain -3 2>/dev/null
lame --quiet -b 128 "$WORK/in.wav" "$WORK/in.mp3"
rm -f "$WORK/in.wav"
echo "input: $SECONDS_OF_AUDIO s of 44100 Hz stereo at 128 kbit/s, $(du -h "$WORK/in.mp3" | cut -f1)"

# CPU seconds (user + system) of a shell command line, best of three: the
# machine may be shared, and CPU time suffers less from that than wall time.
best_cpu() {
    local best="" t
    for _ in 1 2 3; do
        /usr/bin/time -o "$WORK/time" -f "%U %S" bash -c "$1" >/dev/null 2>&1
        t=$(awk '{print $1 + $2}' "$WORK/time")
        if [ -z "$best" ] || [ "$(echo "$t < $best" | bc -l)" = 1 ]; then best=$t; fi
    done
    echo "$best"
}

t_ours=$(best_cpu "'$CLI' convert '$WORK/in.mp3' '$WORK/ours.wav'")
t_theirs=$(best_cpu "mpg123 -q -w '$WORK/mpg123.wav' '$WORK/in.mp3'")
printf 'decode   tavrine %7.3f s   mpg123 %7.3f s   ratio %.2f   (CPU seconds)\n' "$t_ours" "$t_theirs" \
    "$(echo "$t_ours / $t_theirs" | bc -l)"

# The timed mpg123 run trims the encoder's delay and padding (gapless); ours
# keeps every frame, so the samples are compared with an untrimmed decoding.
mpg123 -q --no-gapless -w "$WORK/mpg123_all.wav" "$WORK/in.mp3"
sox -m -v 1 "$WORK/ours.wav" -v -1 "$WORK/mpg123_all.wav" -n stats 2>&1 \
    | awk '/^Pk lev dB|^RMS lev dB/ { print "difference " $0 }'
