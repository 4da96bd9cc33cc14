#!/usr/bin/env bash
# "tavrine-cli status-update" over 1,000 sent dictations whose statuses all
# change at once: a Send folder of 1,000 headers and a folder recipient whose
# typist's status file "s0000042.sta" holds a record for each. The headers are
# written afresh before every run, so each run saves all 1,000. Five rounds,
# the programs taking turns; prints every time and the median of each, then the
# CPU seconds and maximum resident memory of one more run (/usr/bin/time).
# Every program must leave the same bytes in the Send folder. Fails when the
# first program's median is not under 2 s; the programs named after it (an
# older build, say) are measured on the same files for comparison.
# Usage: bench/status_update_1000.sh [path/to/tavrine-cli ...]
set -euo pipefail

CLIS=("$@")
[ ${#CLIS[@]} -gt 0 ] || CLIS=(build/release/app/cli/tavrine-cli)
COUNT=1000
for cli in "${CLIS[@]}"; do [ -x "$cli" ] || { echo "no tavrine-cli at $cli" >&2; exit 1; }; done
command -v python3 >/dev/null || { echo "python3 is needed to write the folders" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "/usr/bin/time (Debian package time) is needed" >&2; exit 1; }

WORK=$(mktemp -d "${TMPDIR:-/tmp}/status_update_1000.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
export XDG_CONFIG_HOME="$WORK/config" XDG_DATA_HOME="$WORK/data" TAVRINE_MACHINE_CONFIG="$WORK/machine.conf"
TYPIST="$WORK/typist"
mkdir -p "$TYPIST"
CLI0=${CLIS[0]}
"$CLI0" list >/dev/null # creates the working folders
"$CLI0" settings set UserInfo UserID 42 >/dev/null
"$CLI0" recipient add Typist SendMethod=2 "Folder=$TYPIST" >/dev/null
SEND="$XDG_DATA_HOME/Tavrine/Send"
[ -d "$SEND" ] || { echo "no Send folder at $SEND" >&2; exit 1; }

# Headers written directly, field by field (a save each is what is measured).
# The status file's version 1 records carry a time after the headers' none.
python3 - "$TYPIST/s0000042.sta" "$COUNT" <<'PY'
import struct, sys
path, count = sys.argv[1], int(sys.argv[2])
with open(path, "wb") as f:
    f.write(struct.pack("<I", 1))
    for n in range(1, count + 1):
        f.write(struct.pack("<I16sI", n, b"Typed", 1700100000 + n))
PY
fresh_headers() {
    rm -f "$SEND"/*.ddf
    python3 - "$SEND" "$COUNT" <<'PY'
import os, struct, sys
folder, count = sys.argv[1], int(sys.argv[2])
notes = b"Patient letter, second draft"
for n in range(1, count + 1):
    h = bytearray(222)
    struct.pack_into("<IIIIII", h, 0, 1, 42, n, 1700000000 + n, 1700000000 + n, 0)
    name = b"Dictation %d" % n
    h[24:24 + len(name)] = name
    sent = b"Sent to folder"
    h[124:124 + len(sent)] = sent
    h[188:192] = bytes([0, 50, 1, 0])
    struct.pack_into("<HII", h, 192, 0, 11025, len(notes))
    struct.pack_into("<I", h, 218, 0x0FF04020)
    with open(os.path.join(folder, "%d.ddf" % n), "wb") as f:
        f.write(bytes(h) + notes)
PY
    sync -f "$SEND"
}
# One run: its milliseconds in T; checks the line and the bytes left.
BYTES=
run_once() {
    local cli=$1 out start end sum
    fresh_headers
    start=$(date +%s%N)
    out=$("$cli" status-update)
    end=$(date +%s%N)
    case $out in
        *"updated ($COUNT dictations changed)"*) ;;
        *) echo "$cli: $out" >&2; exit 1 ;;
    esac
    sum=$(cat "$SEND"/*.ddf | sha256sum | cut -c1-16)
    [ -n "$BYTES" ] || BYTES=$sum
    [ "$sum" = "$BYTES" ] || { echo "$cli left other bytes than the first program" >&2; exit 1; }
    T=$(((end - start) / 1000000))
}

declare -A TIMES
for _ in 1 2 3 4 5; do
    for i in "${!CLIS[@]}"; do
        run_once "${CLIS[$i]}"
        TIMES[$i]="${TIMES[$i]:-} $T"
    done
done
STATUS=0
for i in "${!CLIS[@]}"; do
    cli=${CLIS[$i]}
    # shellcheck disable=SC2086
    MEDIAN=$(printf '%s\n' ${TIMES[$i]} | sort -n | sed -n 3p)
    fresh_headers
    read -r CPU KB < <(/usr/bin/time -f "%U %S %M" "$cli" status-update 2>&1 >/dev/null | tail -n1 | awk '{ printf "%.2f %d\n", $1 + $2, $3 }')
    echo "$cli status-update, $COUNT dictations changed:${TIMES[$i]} ms; median $MEDIAN ms; CPU $CPU s; max resident $((KB / 1024)) MiB"
    if [ "$i" -eq 0 ] && [ "$MEDIAN" -ge 2000 ]; then
        echo "slower than 2000 ms" >&2
        STATUS=1
    fi
done
exit $STATUS
