#!/usr/bin/env bash
# Packing one hour of an 11025 Hz dictation as an encrypted DCT in the
# default GSM 06.10 transfer format (tavrine-cli save-as --to a recipient
# with a key) against the peer pipeline that gives the same content: sox
# writing the GSM WAV and openssl enc encrypting it with Blowfish. Prints the
# CPU time of each, best of five, and the ratio (ours / theirs; below 1 is
# faster), then checks that the WAV inside our DCT decodes as sox's does.
# Usage: bench/dct_vs_sox_openssl.sh [path/to/tavrine-cli] [seconds of audio]
set -euo pipefail

CLI=${1:-build/release/app/cli/tavrine-cli}
SECONDS_OF_AUDIO=${2:-3600}
for tool in sox soxi openssl bc /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "$tool is not installed" >&2; exit 1; }
done
[ -x "$CLI" ] || { echo "no tavrine-cli at $CLI" >&2; exit 1; }

WORK=$(mktemp -d "${TMPDIR:-/tmp}/dct_vs_sox.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
# No settings or dictations of the user's are read or touched.
export XDG_CONFIG_HOME="$WORK/config" XDG_DATA_HOME="$WORK/data" TAVRINE_MACHINE_CONFIG="$WORK/machine.conf"

# A voiced stand-in for speech: gliding pitch with harmonics and breath noise
# under a syllable-rate envelope.
sox -R -n -r 11025 -c 1 -b 16 "$WORK/in.wav" synth "$SECONDS_OF_AUDIO" sawtooth 95-190 \
    synth "$SECONDS_OF_AUDIO" pinknoise mix vol 0.3 highpass 120 lowpass 4000 tremolo 3.7 85
KEY="typist's key 16b" # 16 bytes, the key length openssl enc -K uses for Blowfish
KEYHEX=$(printf '%s' "$KEY" | od -An -tx1 | tr -d ' \n')
N=$("$CLI" new --name "Bench")
"$CLI" record "$N" --from "$WORK/in.wav" >/dev/null
R=$("$CLI" recipient add Typist "EncryptionKey=$KEY" | head -1)
echo "input: $(soxi -d "$WORK/in.wav") of 11025 Hz mono, dictation $N, recipient $R"

best_cpu() {
    local best="" t
    for _ in 1 2 3 4 5; do
        /usr/bin/time -o "$WORK/time" -f "%U %S" bash -c "$1" >/dev/null 2>&1
        t=$(awk '{print $1 + $2}' "$WORK/time")
        if [ -z "$best" ] || [ "$(echo "$t < $best" | bc -l)" = 1 ]; then best=$t; fi
    done
    echo "$best"
}

OURS="'$CLI' save-as $N '$WORK/ours.dct' --to $R"
THEIRS="sox '$WORK/in.wav' -e gsm-full-rate '$WORK/sox.wav' && openssl enc -bf-ecb -provider legacy \
-provider default -K $KEYHEX -in '$WORK/sox.wav' -out '$WORK/sox.wav.bf'"
t_ours=$(best_cpu "$OURS")
t_theirs=$(best_cpu "$THEIRS")
printf 'pack     tavrine %7.3f s   sox+openssl %7.3f s   ratio %.2f   (CPU seconds)\n' "$t_ours" "$t_theirs" \
    "$(echo "$t_ours / $t_theirs" | bc -l)"

"$CLI" dct "$WORK/ours.dct" --key "$KEY" --extract "$WORK/x" >/dev/null
sox "$WORK/x/Bench.wav" -t s16 "$WORK/ours.s16"
sox "$WORK/sox.wav" -t s16 "$WORK/sox.s16"
echo "sizes: ours.dct $(stat -c %s "$WORK/ours.dct") bytes, sox.wav.bf $(stat -c %s "$WORK/sox.wav.bf") bytes"
cmp -s "$WORK/ours.s16" "$WORK/sox.s16" && echo "decoded audio: identical to sox's GSM" \
    || echo "decoded audio: differs from sox's GSM (encoders may choose frames differently)"
