#!/usr/bin/env bash
# tavrine-cli convert --rate against sox's resampler on one hour of 16-bit
# 44100 Hz mono WAV converted to 8000 Hz: sox at very high quality (rate -v,
# as the tests judge against) and at its default quality (rate -h). Prints
# each time and the ratio (ours / sox; below 1 is faster than sox).
# Usage: bench/rate_vs_sox.sh [path/to/tavrine-cli] [seconds of audio]
set -euo pipefail

CLI=${1:-build/release/app/cli/tavrine-cli}
SECONDS_OF_AUDIO=${2:-3600}
command -v sox >/dev/null || { echo "sox is not installed" >&2; exit 1; }
[ -x "$CLI" ] || { echo "no tavrine-cli at $CLI" >&2; exit 1; }

WORK=$(mktemp -d "${TMPDIR:-/tmp}/rate_vs_sox.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
IN="$WORK/in.wav"
sox -R -n -r 44100 -c 1 -b 16 "$IN" synth "$SECONDS_OF_AUDIO" sine 200-8000 vol 0.7
echo "input: $(soxi -d "$IN"), $(du -h "$IN" | cut -f1)"

# Seconds of wall time for a command, best of three.
best_of_three() {
    local best="" t
    for _ in 1 2 3; do
        local start end
        start=$(date +%s.%N)
        "$@" >/dev/null 2>&1
        end=$(date +%s.%N)
        t=$(echo "$end - $start" | bc -l)
        if [ -z "$best" ] || [ "$(echo "$t < $best" | bc -l)" = 1 ]; then best=$t; fi
    done
    echo "$best"
}

ours=$(best_of_three "$CLI" convert "$IN" "$WORK/ours.wav" --rate 8000)
echo "tavrine: $(soxi -r "$WORK/ours.wav") Hz, $(soxi -s "$WORK/ours.wav") frames"
for quality in -v -h; do
    sox=$(best_of_three sox -D -V1 "$IN" "$WORK/sox.wav" rate "$quality" 8000)
    printf '44100->8000 mono, sox rate %s: tavrine %7.3f s   sox %7.3f s   ratio %.2f\n' "$quality" "$ours" "$sox" \
        "$(echo "$ours / $sox" | bc -l)"
done
