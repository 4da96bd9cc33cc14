#!/usr/bin/env bash
# Sealing and opening one hour of a 16 kHz dictation WAV (115 MB) with
# tavrine-cli seal/unseal against the age tool itself, both to the same two
# recipients. Prints the CPU time of each, best of five, and the ratios
# (ours / age; below 1 is faster), then checks that each opens the other's file.
# Usage: bench/age_vs_age.sh [path/to/tavrine-cli] [seconds of audio]
set -euo pipefail

CLI=${1:-build/release/app/cli/tavrine-cli}
SECONDS_OF_AUDIO=${2:-3600}
for tool in sox age age-keygen bc /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "$tool is not installed" >&2; exit 1; }
done
[ -x "$CLI" ] || { echo "no tavrine-cli at $CLI" >&2; exit 1; }

WORK=$(mktemp -d "${TMPDIR:-/tmp}/age_vs_age.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
export XDG_CONFIG_HOME="$WORK/config" XDG_DATA_HOME="$WORK/data" TAVRINE_MACHINE_CONFIG="$WORK/machine.conf"

sox -R -n -r 16000 -c 1 -b 16 "$WORK/in.wav" synth "$SECONDS_OF_AUDIO" sawtooth 95-190 \
    synth "$SECONDS_OF_AUDIO" pinknoise mix vol 0.3 highpass 120 lowpass 4000 tremolo 3.7 85
age-keygen -o "$WORK/a.key" 2>/dev/null
"$CLI" keygen --out "$WORK/b.key" >/dev/null
A=$(age-keygen -y "$WORK/a.key")
B=$(age-keygen -y "$WORK/b.key")
echo "input: $(stat -c %s "$WORK/in.wav") bytes ($SECONDS_OF_AUDIO s of 16 kHz mono)"

best_cpu() {
    local best="" t
    for _ in 1 2 3 4 5; do
        /usr/bin/time -o "$WORK/time" -f "%U %S" bash -c "$1" >/dev/null 2>&1
        t=$(awk '{print $1 + $2}' "$WORK/time")
        if [ -z "$best" ] || [ "$(echo "$t < $best" | bc -l)" = 1 ]; then best=$t; fi
    done
    echo "$best"
}
report() {
    printf '%-7s tavrine %7.3f s   age %7.3f s   ratio %.2f   (CPU seconds)\n' "$1" "$2" "$3" \
        "$(echo "$2 / $3" | bc -l)"
}

s_ours=$(best_cpu "'$CLI' seal '$WORK/in.wav' --to $A --to $B --out '$WORK/ours.age'")
s_age=$(best_cpu "age -r $A -r $B -o '$WORK/age.age' '$WORK/in.wav'")
report seal "$s_ours" "$s_age"
o_ours=$(best_cpu "'$CLI' unseal '$WORK/age.age' --identity '$WORK/b.key' --out '$WORK/ours.wav'")
o_age=$(best_cpu "age -d -i '$WORK/a.key' -o '$WORK/age.wav' '$WORK/ours.age'")
report open "$o_ours" "$o_age"
cmp -s "$WORK/ours.wav" "$WORK/in.wav" && cmp -s "$WORK/age.wav" "$WORK/in.wav" \
    && echo "each opened the other's file: identical to the input" || { echo "MISMATCH" >&2; exit 1; }
