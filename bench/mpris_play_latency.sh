#!/usr/bin/env bash
# From an MPRIS PlayPause call (gdbus, as a desktop's media key handler
# makes it) to the first frame at the sound output: tavrine runs on a private
# session bus (dbus-run-session) and a private Xvfb (offscreen without one),
# its ALSA "default" device is a file PCM over the null PCM, and the time runs
# until that file holds its first bytes. Twenty rounds (or the count given),
# each after a Stop; prints every time, the median, 99th percentile and maximum, and for comparison the round
# trip of a bare gdbus property read (the client's own start and call). Under
# Xvfb with xdotool the same for the play key (XF86AudioPlay) pressed in the
# focused window. Goal: medians under 50 ms.
# Usage: bench/mpris_play_latency.sh [build dir] [rounds]
set -euo pipefail
BUILD=${1:-build/normal}
if [ -z "${TAVRINE_BENCH_PRIVATE_BUS:-}" ]; then
    TAVRINE_BENCH_PRIVATE_BUS=1 exec dbus-run-session -- "$0" "$@"
fi
TAVRINE="$BUILD/app/desktop/tavrine"
CLI="$BUILD/app/cli/tavrine-cli"
for p in "$TAVRINE" "$CLI"; do [ -x "$p" ] || { echo "no $p" >&2; exit 1; }; done
for tool in gdbus sox; do command -v "$tool" >/dev/null || { echo "needs $tool" >&2; exit 2; }; done

WORK=$(mktemp -d "${TMPDIR:-/tmp}/mpris_latency.XXXXXX")
APID=
XPID=
cleanup() {
    if [ -n "$APID" ]; then kill "$APID" 2>/dev/null || true; wait "$APID" 2>/dev/null || true; fi
    if [ -n "$XPID" ]; then kill "$XPID" 2>/dev/null || true; wait "$XPID" 2>/dev/null || true; fi
    rm -rf "$WORK"
}
trap cleanup EXIT
export HOME="$WORK/home" XDG_CONFIG_HOME="$WORK/config" XDG_DATA_HOME="$WORK/data"
export TAVRINE_MACHINE_CONFIG="$WORK/machine.conf" XDG_RUNTIME_DIR="$WORK/run" QT_QPA_PLATFORM=offscreen
WID=
if command -v Xvfb >/dev/null && command -v xdotool >/dev/null; then
    for n in $(seq 140 180); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { DISPLAY_NUMBER=$n; break; }
    done
    Xvfb ":$DISPLAY_NUMBER" -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
    XPID=$!
    export DISPLAY=":$DISPLAY_NUMBER" QT_QPA_PLATFORM=xcb
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$DISPLAY_NUMBER" ] && break; sleep 0.1; done
fi
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
cat >"$WORK/asound.conf" <<CONF
pcm.!default { type file slave.pcm { type null } format "raw" file "$WORK/out.raw" }
CONF
export ALSA_CONFIG_PATH="$WORK/asound.conf"
sox -n -r 11025 -c 1 -b 16 "$WORK/tone.wav" synth 20 sine 440 vol 0.3
"$CLI" load "$WORK/tone.wav" >/dev/null
# The first-run wizard would take the focus the play key is sent to.
"$CLI" settings set Settings InstallWizRun 1 >/dev/null

"$TAVRINE" >"$WORK/tavrine.log" 2>&1 &
APID=$!
for _ in $(seq 100); do
    gdbus call --session --dest org.mpris.MediaPlayer2.tavrine --object-path /org/mpris/MediaPlayer2 \
        --method org.freedesktop.DBus.Properties.Get org.mpris.MediaPlayer2.Player CanPlay 2>/dev/null \
        | grep -q true && break
    sleep 0.1
done
if [ -n "$XPID" ]; then
    WID=$(xdotool search --onlyvisible --name "Tavrine Dictate" 2>/dev/null | head -1 || true)
    [ -n "$WID" ] && xdotool windowfocus --sync "$WID"
fi
echo "platform: $QT_QPA_PLATFORM"

/usr/bin/python3 - "$WORK/out.raw" "$WID" "${2:-20}" <<'PY'
import os, statistics, subprocess, sys, time
out, window, rounds = sys.argv[1], sys.argv[2], int(sys.argv[3])
base = ["gdbus", "call", "--session", "--dest", "org.mpris.MediaPlayer2.tavrine",
        "--object-path", "/org/mpris/MediaPlayer2", "--method"]
def call(*args):
    subprocess.run(base + list(args), check=True, stdout=subprocess.DEVNULL)
# Starts the client, then times until the output file holds its first bytes.
def first_frame(client_args, what):
    call("org.mpris.MediaPlayer2.Player.Stop")
    time.sleep(0.2)
    if os.path.exists(out):
        os.unlink(out)
    t0 = time.monotonic()
    client = subprocess.Popen(client_args, stdout=subprocess.DEVNULL)
    while time.monotonic() < t0 + 2.0:
        try:
            if os.stat(out).st_size > 0:
                break
        except FileNotFoundError:
            pass
        time.sleep(0.0002)
    else:
        # Counted at its time-out rather than dropped: a worst case is what is measured.
        print("no output within 2 s of " + what, file=sys.stderr)
    elapsed = (time.monotonic() - t0) * 1000
    client.wait()
    return elapsed
def report(what, times):
    print("%s to first frame, ms: %s" % (what, " ".join("%.1f" % t for t in times)))
    ordered = sorted(times)
    print("  median %.1f ms, 99th percentile %.1f ms, max %.1f ms"
          % (statistics.median(times), ordered[int(0.99 * (len(ordered) - 1))], max(times)))
    return statistics.median(times) < 50
play = [first_frame(base + ["org.mpris.MediaPlayer2.Player.PlayPause"], "PlayPause") for _ in range(rounds)]
trip = []
for _ in range(20):
    t0 = time.monotonic()
    call("org.freedesktop.DBus.Properties.Get", "org.mpris.MediaPlayer2.Player", "PlaybackStatus")
    trip.append((time.monotonic() - t0) * 1000)
ok = report("MPRIS PlayPause (gdbus)", play)
print("  gdbus property read round trip median %.1f ms" % statistics.median(trip))
if window:
    keys = [first_frame(["xdotool", "key", "--window", window, "XF86AudioPlay"], "the play key")
            for _ in range(rounds)]
    ok = report("play key in the focused window (xdotool)", keys) and ok
sys.exit(0 if ok else 1)
PY
