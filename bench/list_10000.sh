#!/usr/bin/env bash
# "tavrine-cli list" on a Current folder of 10,000 dictations. Makes the folder
# in a private settings and data area, lists it five times and prints every
# time and the median, then the CPU seconds and maximum resident memory of one
# more run (/usr/bin/time). A listing must not grow with how often the
# dictations were edited: with 200 cut records each it must stay under 0.5 s
# and 40 MB, whether the cut files are there or not; with a few records under
# one second. Fails when the first program misses its goal; the programs named
# after it (an older build, say) are measured on the same folder for comparison.
# Usage: bench/list_10000.sh [--cuts N] [--cut-files] [path/to/tavrine-cli ...]
set -euo pipefail

CUTS=3
FILES=0
while [ $# -gt 0 ]; do
    case $1 in
        --cuts) CUTS=$2; shift 2 ;;
        --cut-files) FILES=1; shift ;;
        *) break ;;
    esac
done
CLIS=("$@")
[ ${#CLIS[@]} -gt 0 ] || CLIS=(build/release/app/cli/tavrine-cli)
COUNT=10000
for cli in "${CLIS[@]}"; do [ -x "$cli" ] || { echo "no tavrine-cli at $cli" >&2; exit 1; }; done
command -v python3 >/dev/null || { echo "python3 is needed to write the folder" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "/usr/bin/time (Debian package time) is needed" >&2; exit 1; }

WORK=$(mktemp -d "${TMPDIR:-/tmp}/list_10000.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
export XDG_CONFIG_HOME="$WORK/config" XDG_DATA_HOME="$WORK/data" TAVRINE_MACHINE_CONFIG="$WORK/machine.conf"
"${CLIS[0]}" list >/dev/null # creates the working folders
CURRENT="$XDG_DATA_HOME/Tavrine/Current"

# Headers written directly, field by field (a save each would sync 10,000
# times). The cut files of one dictation are links to one file of 4096 bytes:
# two million inodes would only measure the file system.
python3 - "$CURRENT" "$COUNT" "$CUTS" "$FILES" <<'PY'
import os, struct, sys
folder, count, cuts, files = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4] == "1"
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
    if files and cuts:
        first = os.path.join(folder, "%d_0.dau" % n)
        with open(first, "wb") as f:
            f.write(bytes(4096))
        for c in range(1, cuts):
            os.link(first, os.path.join(folder, "%d_%d.dau" % (n, c)))
PY

WHAT="$COUNT dictations of $CUTS cut records, cut files $([ "$FILES" = 1 ] && echo present || echo absent)"
STATUS=0
for cli in "${CLIS[@]}"; do
    LINES=$("$cli" list | wc -l)
    [ "$LINES" -eq "$COUNT" ] || { echo "$cli listed $LINES dictations, not $COUNT" >&2; exit 1; }
    TIMES=()
    for _ in 1 2 3 4 5; do
        start=$(date +%s%N)
        "$cli" list >/dev/null
        end=$(date +%s%N)
        TIMES+=("$(((end - start) / 1000000))")
    done
    MEDIAN=$(printf '%s\n' "${TIMES[@]}" | sort -n | sed -n 3p)
    read -r CPU KB < <(/usr/bin/time -f "%U %S %M" "$cli" list 2>&1 >/dev/null | tail -n1 | awk '{ printf "%.2f %d\n", $1 + $2, $3 }')
    echo "$cli list, $WHAT: ${TIMES[*]} ms; median $MEDIAN ms; CPU $CPU s; max resident $((KB / 1024)) MiB"
    if [ "$cli" = "${CLIS[0]}" ]; then
        LIMIT_MS=1000 LIMIT_KB=0
        [ "$CUTS" -ge 200 ] && LIMIT_MS=500 LIMIT_KB=$((40 * 1000))
        [ "$MEDIAN" -lt "$LIMIT_MS" ] || { echo "slower than $LIMIT_MS ms" >&2; STATUS=1; }
        [ "$LIMIT_KB" -eq 0 ] || [ "$KB" -lt "$LIMIT_KB" ] || { echo "more than 40 MB" >&2; STATUS=1; }
    fi
done
exit $STATUS
