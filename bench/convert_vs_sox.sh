#!/usr/bin/env bash
# tavrine-cli convert against sox on one hour of 16-bit 44100 Hz stereo WAV:
# WAV to WAV, and WAV to mu-law WAV. Prints each time and the ratio
# (ours / sox; below 1 is faster than sox).
# Usage: bench/convert_vs_sox.sh [path/to/tavrine-cli] [seconds of audio]
set -euo pipefail

CLI=${1:-build/release/app/cli/tavrine-cli}
SECONDS_OF_AUDIO=${2:-3600}
command -v sox >/dev/null || { echo "sox is not installed" >&2; exit 1; }
[ -x "$CLI" ] || { echo "no tavrine-cli at $CLI" >&2; exit 1; }

WORK=$(mktemp -d "${TMPDIR:-/tmp}/convert_vs_sox.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
IN="$WORK/in.wav"
sox -R -n -r 44100 -c 2 -b 16 "$IN" synth "$SECONDS_OF_AUDIO" sine 200-8000 vol 0.7
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

run_case() {
    local name=$1 ours_codec=$2 sox_args=$3
    local ours sox
    if command -v hyperfine >/dev/null; then
        hyperfine --warmup 1 --runs 3 --export-json "$WORK/$name.json" \
            -n tavrine "$CLI convert '$IN' '$WORK/ours.wav' --codec $ours_codec" \
            -n sox "sox -D -V1 '$IN' $sox_args '$WORK/sox.wav'" >/dev/null
        ours=$(python3 -c "import json;d=json.load(open('$WORK/$name.json'));print(d['results'][0]['median'])")
        sox=$(python3 -c "import json;d=json.load(open('$WORK/$name.json'));print(d['results'][1]['median'])")
    else
        ours=$(best_of_three "$CLI" convert "$IN" "$WORK/ours.wav" --codec "$ours_codec")
        # shellcheck disable=SC2086
        sox=$(best_of_three sox -D -V1 "$IN" $sox_args "$WORK/sox.wav")
    fi
    printf '%-12s tavrine %7.3f s   sox %7.3f s   ratio %.2f\n' "$name" "$ours" "$sox" \
        "$(echo "$ours / $sox" | bc -l)"
}

run_case wav-to-wav pcm16 "-e signed -b 16"
run_case wav-to-ulaw ulaw "-e u-law"
