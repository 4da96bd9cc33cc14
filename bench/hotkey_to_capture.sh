#!/usr/bin/env bash
# From a hot-key press to the recorder capturing, through the real program:
# tavrine runs (offscreen, not focused: xmessage holds the focus) on a private
# Xvfb with F5 stored as a hot key for Record, its default capture device an
# ALSA file PCM that reads a FIFO. Each round presses F5 with xdotool, waits
# for the recorder to open the device (the FIFO's writer can open) and to take
# its first bytes (the FIFO's fill drops), feeds it in real time, and lets F5
# go after a second, which stops the recording. Prints each round and the
# medians; fails when a hold does not stop at its release (that round is then
# stopped with a tap and counted) or the median from the press to the first capture is 50 ms
# or more. The press is somewhere inside the xdotool run, so the figures are
# given from its start (an upper bound) and from its end (a lower bound).
# Usage: bench/hotkey_to_capture.sh [build dir] [rounds]
set -euo pipefail
BUILD=${1:-build/release}
ROUNDS=${2:-10}
TAVRINE="$BUILD/app/desktop/tavrine"
[ -x "$TAVRINE" ] || { echo "no $TAVRINE" >&2; exit 1; }
for t in Xvfb xdotool xmessage /usr/bin/python3; do
    command -v "$t" >/dev/null || { echo "$t is needed (scripts/setup.sh)" >&2; exit 1; }
done

WORK=$(mktemp -d "${TMPDIR:-/tmp}/hotkey_capture.XXXXXX")
PIDS=()
cleanup() {
    for p in "${PIDS[@]}"; do kill "$p" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$WORK"
}
trap cleanup EXIT
export XDG_CONFIG_HOME="$WORK/config" XDG_DATA_HOME="$WORK/data" TAVRINE_MACHINE_CONFIG="$WORK/machine.conf"
export XDG_RUNTIME_DIR="$WORK/run" DBUS_SESSION_BUS_ADDRESS="unix:path=$WORK/no-bus" QT_QPA_PLATFORM=offscreen
export ALSA_CONFIG_PATH="$WORK/asound.conf"
unset WAYLAND_DISPLAY
mkdir -p "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME/Orvane/Tavrine" && chmod 700 "$XDG_RUNTIME_DIR"
mkfifo "$WORK/capture.fifo"
cat >"$ALSA_CONFIG_PATH" <<EOF
pcm.!default {
  type file
  slave.pcm { type null }
  format "raw"
  file "$WORK/out.raw"
  infile "$WORK/capture.fifo"
}
EOF
# F5 (virtual key 0x74) records; everything captured counts as voice. The
# first-run wizard stays shut: its level meter would hold the capture FIFO open.
printf '[Keys]\nCount=1\nKey0=116\nKey0Command=3\n[Settings]\nSampleRate=8000\nInstallWizRun=1\n' \
    >"$XDG_CONFIG_HOME/Orvane/Tavrine/user.conf"
printf '[Settings]\nVoiceActivateLevel=-127\n' >"$TAVRINE_MACHINE_CONFIG"

# Xvfb picks a free display and writes its number.
Xvfb -displayfd 3 -nolisten tcp -screen 0 640x480x24 3>"$WORK/display" 2>/dev/null &
PIDS+=($!)
for _ in $(seq 100); do grep -q . "$WORK/display" && break; sleep 0.1; done
grep -q . "$WORK/display" || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -1 "$WORK/display")"
xmessage -name tavrinefocus focus >/dev/null 2>&1 &
PIDS+=($!)
timeout 5 xdotool search --sync --classname tavrinefocus windowfocus
"$TAVRINE" 2>"$WORK/tavrine.err" &
PIDS+=($!)
sleep 2

/usr/bin/python3 - "$WORK/capture.fifo" "$ROUNDS" <<'PY'
import errno, fcntl, os, signal, statistics, struct, subprocess, sys, termios, time

fifo, rounds = sys.argv[1], int(sys.argv[2])
signal.signal(signal.SIGPIPE, signal.SIG_IGN)
BLOCK = bytes(1600)  # 100 ms of 8000 Hz mono 16-bit


def queued(fd):
    return struct.unpack("i", fcntl.ioctl(fd, termios.FIONREAD, b"\0\0\0\0"))[0]


def open_writer(deadline):
    while time.monotonic() < deadline:
        try:
            return os.open(fifo, os.O_WRONLY | os.O_NONBLOCK)
        except OSError as e:
            if e.errno != errno.ENXIO:
                raise
            time.sleep(0.0002)
    return None


def feed(fd, until, stop_on_close):
    """Writes a block every 100 ms until the time is up or the reader closes."""
    while time.monotonic() < until:
        try:
            if queued(fd) < 2 * len(BLOCK):
                os.write(fd, BLOCK)
        except BlockingIOError:
            pass
        except BrokenPipeError:
            return True
        time.sleep(0.01)
    return False


opened, captured, xdotool_ms = [], [], []
unstopped = 0
for i in range(rounds + 1):  # the first round warms up and is not counted
    t0 = time.monotonic()
    subprocess.run(["xdotool", "keydown", "F5"], check=True)
    tx = time.monotonic()
    fd = open_writer(t0 + 5)
    if fd is None:
        sys.exit("the recorder never opened the capture device")
    t1 = time.monotonic()
    os.write(fd, BLOCK)
    deadline = t1 + 2
    while queued(fd) == len(BLOCK) and time.monotonic() < deadline:
        pass
    t2 = time.monotonic()
    feed(fd, t0 + 1.2, False)
    subprocess.run(["xdotool", "keyup", "F5"], check=True)
    if not feed(fd, time.monotonic() + 5, True):
        # Latched as if tapped: counted, stopped with a tap, and the rounds go on.
        unstopped += 1
        print("round %d: the recording did not stop at the release" % i)
        subprocess.run(["xdotool", "key", "F5"], check=True)
        if not feed(fd, time.monotonic() + 5, True):
            sys.exit("the recording did not stop at a second tap either")
    os.close(fd)
    ms = lambda a, b: (b - a) * 1000
    if i > 0:
        opened.append(ms(t0, t1))
        captured.append(ms(t0, t2))
        xdotool_ms.append(ms(t0, tx))
    print("round %d: xdotool %.1f ms, device open %.1f ms, first capture %.1f ms after the press began"
          % (i, ms(t0, tx), ms(t0, t1), ms(t0, t2)))
    time.sleep(0.3)
med = statistics.median
def p99(xs):
    xs = sorted(xs)
    return xs[int(0.99 * (len(xs) - 1))]
print("hot key to capture over %d rounds: median %.1f ms from xdotool's start (99th percentile %.1f, max %.1f),"
      " %.1f ms from its end; device open at %.1f ms; xdotool itself %.1f ms"
      % (rounds, med(captured), p99(captured), max(captured), med([c - x for c, x in zip(captured, xdotool_ms)]),
         med(opened), med(xdotool_ms)))
if unstopped:
    sys.exit("%d of %d holds did not stop at their release" % (unstopped, rounds + 1))
sys.exit(0 if med(captured) < 50 else "slower than 50 ms")
PY
