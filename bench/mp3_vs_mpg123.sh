#!/usr/bin/env bash
# MP3 decoding to WAV, tavrine-cli convert against mpg123 -w, side by side in
# one run, on two files made by lame from a sox signal: one hour of 44.1 kHz
# joint stereo at 128 kbit/s and the same hour as mono at 64 kbit/s.
# Prints each CPU time (user + system, best of five) and the ratio (ours /
# theirs; at most 1 is no slower than mpg123), and how far the WAV files differ.
# Usage: bench/mp3_vs_mpg123.sh [path/to/tavrine-cli] [seconds of audio]
# TAVRINE_MP3_PATH (portable, sse2, avx2) forces one decoder path.
set -euo pipefail

CLI=${1:-build/release/app/cli/tavrine-cli}
SECONDS_OF_AUDIO=${2:-3600}
RUNS=5
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
lame --quiet -m j -b 128 "$WORK/in.wav" "$WORK/stereo.mp3"
lame --quiet -a -m m -b 64 "$WORK/in.wav" "$WORK/mono.mp3"
rm -f "$WORK/in.wav"

# CPU seconds (user + system) of a shell command line, best of five: the
# machine may be shared, and CPU time suffers less from that than wall time.
best_cpu() {
    local best="" t
    for _ in $(seq "$RUNS"); do
        /usr/bin/time -o "$WORK/time" -f "%U %S" bash -c "$1" >/dev/null 2>&1
        t=$(awk '{print $1 + $2}' "$WORK/time")
        if [ -z "$best" ] || [ "$(echo "$t < $best" | bc -l)" = 1 ]; then best=$t; fi
    done
    echo "$best"
}

for name in stereo mono; do
    mp3="$WORK/$name.mp3"
    echo "input: $name, $SECONDS_OF_AUDIO s, $(du -h "$mp3" | cut -f1)"
    t_ours=$(best_cpu "'$CLI' convert '$mp3' '$WORK/ours.wav'")
    t_theirs=$(best_cpu "mpg123 -q -w '$WORK/mpg123.wav' '$mp3'")
    printf '%-7s tavrine %7.3f s   mpg123 %7.3f s   ratio %.3f   (CPU seconds, best of %d)\n' "$name" "$t_ours" \
        "$t_theirs" "$(echo "$t_ours / $t_theirs" | bc -l)" "$RUNS"
    # The timed mpg123 run trims the encoder's delay and padding (gapless);
    # ours keeps every frame, so the samples are compared with an untrimmed one.
    mpg123 -q --no-gapless -w "$WORK/mpg123_all.wav" "$mp3"
    sox -m -v 1 "$WORK/ours.wav" -v -1 "$WORK/mpg123_all.wav" -n stats 2>&1 \
        | awk '/^Pk lev dB|^RMS lev dB/ { print "        difference " $0 }'
    rm -f "$WORK/ours.wav" "$WORK/mpg123.wav" "$WORK/mpg123_all.wav"
done
