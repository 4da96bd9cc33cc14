#!/usr/bin/env bash
# "tavrine-cli list" on a Current folder of 10,000 dictations must finish in
# under one second. Makes the folder in a private settings and data area,
# lists it five times and prints every time and the median; fails when the
# median is one second or more.
# Usage: bench/list_10000.sh [path/to/tavrine-cli] [cut records per dictation]
set -euo pipefail

CLI=${1:-build/release/app/cli/tavrine-cli}
CUTS=${2:-3}
COUNT=10000
[ -x "$CLI" ] || { echo "no tavrine-cli at $CLI" >&2; exit 1; }
command -v python3 >/dev/null || { echo "python3 is needed to write the folder" >&2; exit 1; }

WORK=$(mktemp -d "${TMPDIR:-/tmp}/list_10000.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
export XDG_CONFIG_HOME="$WORK/config" XDG_DATA_HOME="$WORK/data" TAVRINE_MACHINE_CONFIG="$WORK/machine.conf"
"$CLI" list >/dev/null # creates the working folders
CURRENT="$XDG_DATA_HOME/Tavrine/Current"

# Headers written directly, field by field (a save each would sync 10,000 times).
python3 - "$CURRENT" "$COUNT" "$CUTS" <<'PY'
import os, struct, sys
folder, count, cuts = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
notes = b"Patient letter, second draft"
for n in range(1, count + 1):
    h = bytearray(222)
    struct.pack_into("<IIIIII", h, 0, 1, 0, n, 1700000000 + n, 1700000000 + n, 0)
    name = b"Dictation %d" % n
    h[24:24 + len(name)] = name
    h[188:192] = bytes([0xFF, 50, 1, 0])
    struct.pack_into("<HII", h, 192, n % 3600, 11025, len(notes))
    struct.pack_into("<I", h, 218, 0x0FF04020)
    records = b"".join(struct.pack("<HII", c, 0, 0xFFFFFFFF) for c in range(cuts))
    with open(os.path.join(folder, "%d.ddf" % n), "wb") as f:
        f.write(bytes(h) + notes + records)
PY

LINES=$("$CLI" list | wc -l)
[ "$LINES" -eq "$COUNT" ] || { echo "listed $LINES dictations, not $COUNT" >&2; exit 1; }

TIMES=()
for _ in 1 2 3 4 5; do
    start=$(date +%s%N)
    "$CLI" list >/dev/null
    end=$(date +%s%N)
    TIMES+=("$(( (end - start) / 1000000 ))")
done
MEDIAN=$(printf '%s\n' "${TIMES[@]}" | sort -n | sed -n 3p)
echo "tavrine-cli list, $COUNT dictations of $CUTS cut records: ${TIMES[*]} ms; median $MEDIAN ms"
[ "$MEDIAN" -lt 1000 ] || { echo "slower than one second" >&2; exit 1; }
