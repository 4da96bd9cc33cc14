#!/usr/bin/env bash
# Holds the window's record and play keys as a user does, with the X
# server's own key repeat (Xvfb, xdotool keydown/keyup), and reports how
# many recordings (cut files) and playbacks each hold made and how soon after
# the release each stopped. The sound device runs at the real rate
# (scripts/lib/hold_pacer.py), which also logs when the program opens and
# closes it. Then taps, which latch until a second tap, and a held F8 against
# the Control menu's Fast Forward over the same time.
# Usage: scripts/try_hold_keys.sh [BUILD_DIR] [HOLDS_PER_KEY] [--stress]
# Prints a table; exits non-zero when a hold made no or several recordings,
# cuts or playbacks, or did not stop within 250 ms of its release.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build/normal}
COUNT=${2:-20}
STRESS=${3:-}
TAVRINE="$BUILD/app/desktop/tavrine"
CLI="$BUILD/app/cli/tavrine-cli"
PY=/usr/bin/python3
for tool in Xvfb xdotool xset sox dbus-daemon dbus-send; do
    command -v "$tool" >/dev/null || { echo "needs $tool" >&2; exit 2; }
done
[ -x "$TAVRINE" ] && [ -x "$CLI" ] || { echo "build tavrine and tavrine-cli in $BUILD first" >&2; exit 2; }

. scripts/lib/try_common.sh
try_setup
RATE=8000
"$CLI" settings set Settings SampleRate $RATE >/dev/null
mkfifo "$WORK/in.fifo" "$WORK/out.fifo"
cat >"$WORK/asound.conf" <<CONF
pcm.!default { type file slave.pcm { type null } format "raw" file "/dev/null" infile "/dev/null" }
pcm.try_in { type file slave.pcm { type null } format "raw" file "/dev/null" infile "$WORK/in.fifo"
             hint { show on description "Try Input" } }
pcm.try_out { type file slave.pcm { type null } format "wav" file "$WORK/out.fifo"
              hint { show on description "Try Output" } }
CONF
: >"$WORK/events"
echo 60 >"$WORK/speed"
$PY scripts/lib/hold_pacer.py "$WORK/in.fifo" "$WORK/out.fifo" $RATE "$WORK/events" "$WORK/speed" &
EXTRA_PIDS="$EXTRA_PIDS $!"
dbus-daemon --session --nofork --nopidfile --address="unix:path=$WORK/bus" &
EXTRA_PIDS="$EXTRA_PIDS $!"
export DBUS_SESSION_BUS_ADDRESS="unix:path=$WORK/bus"
for _ in $(seq 50); do [ -S "$WORK/bus" ] && break; sleep 0.1; done
if [ "$STRESS" = --stress ]; then
    command -v stress >/dev/null || { echo "needs stress" >&2; exit 2; }
    stress -c 2 >/dev/null 2>&1 &
    EXTRA_PIDS="$EXTRA_PIDS $!"
fi

# One dictation of 300 s: a 4 s hold plays 240 s of it at the pacer's speed.
sox -n -r $RATE -c 1 -b 16 -e signed "$WORK/long.wav" synth 300 sine 300-900 vol 0.3
"$CLI" load "$WORK/long.wav" >/dev/null
try_start_window
xdotool key Num_Lock # the keypad's digits, not its arrows
CUTS=$(dirname "$(find "$XDG_DATA_HOME" -name '*.ddf' | head -1)")
now() { date +%s.%N; }
cuts() { find "$CUTS" -name '*.dau' | wc -l; }
position() {
    dbus-send --print-reply --dest=org.mpris.MediaPlayer2.tavrine /org/mpris/MediaPlayer2 \
        org.freedesktop.DBus.Properties.Get string:org.mpris.MediaPlayer2.Player string:Position |
        awk '/int64/ { print $3 }'
}
xdotool windowfocus --sync "$WID"
: >"$WORK/holds"
# The hold lengths: the same spread from 0.6 to 4 s on every run.
hold_length() { $PY -c "import random; random.seed($1); print(f'{random.uniform(0.6, 4.0):.2f}')"; }

for repeat in "660 25" "200 40"; do
    xset r rate $repeat
    n=0
    for key in ${TRY_KEYS:-F5 F9 Insert KP_0 KP_Decimal}; do
        for i in $(seq "$COUNT"); do
            n=$((n + 1))
            seconds=$(hold_length "$n")
            xdotool key Home
            sleep 0.3
            before=$(cuts)
            down=$(now)
            xdotool keydown "$key"
            sleep "$seconds"
            up=$(now)
            xdotool keyup "$key"
            sent=$(now)
            sleep 0.8
            echo "hold ${repeat// /\/} $key $down $up $sent $(($(cuts) - before))" >>"$WORK/holds"
        done
        # Taps latch: a second tap stops.
        for i in $(seq "$COUNT"); do
            [ "$key" = F5 ] || break
            before=$(cuts)
            first=$(now)
            xdotool keydown F5 sleep 0.1 keyup F5
            sleep 0.8
            xdotool keydown F5 sleep 0.1
            up=$(now)
            xdotool keyup F5
            sent=$(now)
            sleep 0.5
            echo "tap ${repeat// /\/} F5 $first $up $sent $(($(cuts) - before))" >>"$WORK/holds"
        done
    done
done

# A held F8 against the menu's Fast Forward, 3 s each from the start, at
# the real rate.
echo 1 >"$WORK/speed"
xset r rate 660 25
xdotool key Home
sleep 0.5
xdotool keydown F8 sleep 3
HELD=$(position)
xdotool keyup F8
sleep 0.5
xdotool key Home
sleep 0.5
xdotool key alt+c Up Up Return sleep 3
MENU=$(position)
xdotool key Escape
echo "scan F8 $HELD $MENU" >>"$WORK/holds"
try_quit
# TRY_DEBUG=1: the raw holds and device events as well.
[ -z "${TRY_DEBUG:-}" ] || cat "$WORK/holds" "$WORK/events" "$WORK/tavrine.log"

$PY - "$WORK/holds" "$WORK/events" "${STRESS:-idle}" <<'PY'
import statistics, sys
holds = [l.split() for l in open(sys.argv[1])]
events = [l.split() for l in open(sys.argv[2])]
load = "loaded" if sys.argv[3] == "--stress" else "idle"
kind_of = {"F5": "rec", "Insert": "rec", "KP_0": "rec", "F9": "play", "KP_Decimal": "play"}
bad = 0
rows = {}
for h in holds:
    if h[0] == "scan":
        continue
    what, rate, key, down, up, sent, cut = h[0], h[1], h[2], float(h[3]), float(h[4]), float(h[5]), int(h[6])
    kind = kind_of[key]
    # Starts while the key is down (the next hold's come after), stops soon after.
    # The release happens somewhere between xdotool's start (up) and its end
    # (sent): on a loaded machine starting xdotool alone can take longer than
    # the bound, so the bound counts from its end and the figure from its start.
    mine = [(e[1], float(e[2])) for e in events if e[0] == kind and down - 0.05 <= float(e[2]) <= sent + 0.4]
    starts = sum(1 for w, t in mine if w == "start" and t <= up)
    stops = [t for w, t in mine if w == "last"]
    late = (stops[-1] - up) * 1000 if stops else float("inf")
    after = (stops[-1] - sent) * 1000 if stops else float("inf")
    # A tap's first release leaves it running; the second tap's release stops
    # it. Stopping within 100 ms is counted apart: the release reaches the
    # window at once, and the rest is the sound device's stop.
    good = starts == 1 and len(stops) == 1 and -20 <= late and after <= 250 and (kind == "play" or cut == 1)
    if what == "tap":
        early = [t for t in stops if t < up - 0.2]
        good = good and not early
    bad += not good
    r = rows.setdefault((what, rate, key), {"n": 0, "ok": 0, "in100": 0, "starts": [], "cuts": [], "late": []})
    r["in100"] += good and late <= 100
    r["n"] += 1
    r["ok"] += good
    r["starts"].append(starts)
    r["cuts"].append(cut)
    r["late"].append(late)
print(f"{'what':5} {'repeat':7} {'key':11} {'n':>3} {'ok':>3} {'<=100ms':>7} {'starts':>7} {'cuts':>6} "
      f"{'stop ms median':>15} {'max':>6}  ({load})")
for (what, rate, key), r in rows.items():
    late = [x for x in r["late"] if x != float("inf")]
    med = f"{statistics.median(late):.0f}" if late else "-"
    worst = f"{max(r['late']):.0f}" if r["late"] else "-"
    print(f"{what:5} {rate:7} {key:11} {r['n']:3} {r['ok']:3} {r['in100']:7} {min(r['starts']):>5}-{max(r['starts'])} "
          f"{min(r['cuts']):>4}-{max(r['cuts'])} {med:>15} {worst:>6}")
for h in holds:
    if h[0] == "scan":
        held, menu = int(h[2] or 0) / 1e6, int(h[3] or 0) / 1e6
        ratio = held / menu if menu else 0
        bad += not (0.9 <= ratio <= 1.1)
        print(f"scan: held F8 3 s reached {held:.1f} s, the menu's Fast Forward 3 s {menu:.1f} s (ratio {ratio:.2f})")
print("every hold behaved" if not bad else f"{bad} misbehaved")
sys.exit(1 if bad else 0)
PY
