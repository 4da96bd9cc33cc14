#!/usr/bin/env bash
# GSM 06.10 encoding and decoding of one hour of 8 kHz speech: tavrine-cli
# convert against toast and untoast, side by side. Prints each CPU time and
# the ratio (ours / theirs; below 1 is faster than the peer tool), and checks
# that both produce the same bytes.
# Usage: bench/gsm_vs_toast.sh [path/to/tavrine-cli] [seconds of audio]
set -euo pipefail

CLI=${1:-build/release/app/cli/tavrine-cli}
SECONDS_OF_AUDIO=${2:-3600}
for tool in sox toast untoast bc /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "$tool is not installed" >&2; exit 1; }
done
[ -x "$CLI" ] || { echo "no tavrine-cli at $CLI" >&2; exit 1; }

WORK=$(mktemp -d "${TMPDIR:-/tmp}/gsm_vs_toast.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
export XDG_CONFIG_HOME="$WORK/config" # no settings of the user's are read

# Speech: espeak-ng reading a text in a loop when it is installed, otherwise a
# voiced stand-in (gliding pitch with harmonics and breath noise, band-limited
# to the telephone band, under a syllable-rate envelope).
if command -v espeak-ng >/dev/null; then
    TEXT="The quick brown fox jumps over the lazy dog. Please send the minutes of the meeting to the typist by Friday."
    espeak-ng -w "$WORK/phrase.wav" "$TEXT"
    sox "$WORK/phrase.wav" -r 8000 -c 1 -b 16 "$WORK/phrase8k.wav"
    PHRASE_SECONDS=$(soxi -D "$WORK/phrase8k.wav")
    REPEATS=$(echo "($SECONDS_OF_AUDIO / $PHRASE_SECONDS) + 1" | bc)
    sox "$WORK/phrase8k.wav" "$WORK/in.wav" repeat "$REPEATS" trim 0 "$SECONDS_OF_AUDIO"
else
    sox -R -n -r 8000 -c 1 -b 16 "$WORK/in.wav" synth "$SECONDS_OF_AUDIO" sawtooth 95-190 \
        synth "$SECONDS_OF_AUDIO" pinknoise mix vol 0.3 highpass 120 lowpass 3400 tremolo 3.7 85
fi
sox "$WORK/in.wav" -t s16 -L "$WORK/in.s16"
echo "input: $(soxi -d "$WORK/in.wav") of 8000 Hz mono, $(du -h "$WORK/in.wav" | cut -f1)"

# CPU seconds (user + system) of a shell command line, best of five: the
# machine may be shared, and CPU time suffers less from that than wall time.
best_cpu() {
    local best="" t
    for _ in 1 2 3 4 5; do
        /usr/bin/time -o "$WORK/time" -f "%U %S" bash -c "$1" >/dev/null 2>&1
        t=$(awk '{print $1 + $2}' "$WORK/time")
        if [ -z "$best" ] || [ "$(echo "$t < $best" | bc -l)" = 1 ]; then best=$t; fi
    done
    echo "$best"
}

run_case() {
    local name=$1 ours=$2 theirs=$3 peer=$4 t_ours t_theirs
    t_ours=$(best_cpu "$ours")
    t_theirs=$(best_cpu "$theirs")
    printf '%-8s tavrine %7.3f s   %-7s %7.3f s   ratio %.2f   (CPU seconds)\n' "$name" "$t_ours" "$peer" \
        "$t_theirs" "$(echo "$t_ours / $t_theirs" | bc -l)"
}

run_case encode "'$CLI' convert '$WORK/in.wav' '$WORK/ours.gsm'" "toast -l -c < '$WORK/in.s16' > '$WORK/toast.gsm'" toast
run_case decode "'$CLI' convert '$WORK/toast.gsm' '$WORK/ours.wav'" \
    "untoast -l -c < '$WORK/toast.gsm' > '$WORK/untoast.s16'" untoast

cmp -s "$WORK/ours.gsm" "$WORK/toast.gsm" && echo "encoded frames: identical to toast's" \
    || echo "encoded frames: DIFFER from toast's"
sox "$WORK/ours.wav" -t s16 -L "$WORK/ours.s16"
cmp -s "$WORK/ours.s16" "$WORK/untoast.s16" && echo "decoded samples: identical to untoast's" \
    || echo "decoded samples: DIFFER from untoast's"
