"""The sound device's clock for scripts/try_hold_keys.sh: ALSA's file plugin
reads its capture from one named pipe and writes its playback, as WAV, into
another. The device's buffer is many blocks of about half a second, and a
stop waits for the block being written or read, so the clock runs fast: the
playback is drained at the rate its header gives times the number in the file
SPEED (read at each opening, so a scan can be timed at 1), and the capture is
fed at 20 times RATE's bytes; the recorder's last read is seen as the pipe's
content falling. Each opening
and closing is logged with the wall clock, and before each closing the last
moment the program took or gave a byte: "rec start T", "play last T".
Usage: hold_pacer.py IN_FIFO OUT_FIFO RATE LOG SPEED"""
import fcntl, math, os, select, sys, termios, threading, time

F_SETPIPE_SZ = 1031
in_fifo, out_fifo, rate, log_path = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4]
speed_path = sys.argv[5]
bytes_per_s = rate * 2
log = open(log_path, "a", buffering=1)
lock = threading.Lock()


def note(kind, what, when=None):
    with lock:
        log.write(f"{kind} {what} {when or time.time():.6f}\n")


def sized(fd, size):
    try:
        fcntl.fcntl(fd, F_SETPIPE_SZ, size)
    except OSError:
        pass


def waiting(fd):
    return int.from_bytes(fcntl.ioctl(fd, termios.FIONREAD, b"\0\0\0\0"), "little")


def feed():
    tone = b"".join(int(8000 * math.sin(2 * math.pi * 440 * i / rate)).to_bytes(2, "little", signed=True)
                    for i in range(rate // 50))
    while True:
        fd = os.open(in_fifo, os.O_WRONLY)  # waits for the recorder to open its device
        note("rec", "start")
        # Room for more than the device's buffer, which a stopping recorder
        # reads at once: the last read is then the moment it stopped.
        sized(fd, 1 << 20)
        os.set_blocking(fd, False)
        poller = select.poll()
        poller.register(fd, select.POLLERR | select.POLLHUP)
        due = time.monotonic()
        last = time.time()
        level = 0
        while True:
            if poller.poll(5):
                break
            if waiting(fd) < level:
                last = time.time()
            while time.monotonic() >= due:
                try:
                    os.write(fd, tone)
                except BlockingIOError:
                    pass
                except BrokenPipeError:
                    break
                due += len(tone) / (20 * bytes_per_s)
            level = waiting(fd)
        note("rec", "last", last)
        note("rec", "stop")
        os.close(fd)


def drain():
    while True:
        fd = os.open(out_fifo, os.O_RDONLY)  # waits for the player to open its device
        note("play", "start")
        sized(fd, 4096)
        header = b""
        while len(header) < 44:
            got = os.read(fd, 44 - len(header))
            if not got:
                break
            header += got
        rate_bytes = int.from_bytes(header[28:32], "little") if len(header) == 44 else bytes_per_s
        rate_bytes *= float(open(speed_path).read())
        os.set_blocking(fd, False)
        poller = select.poll()
        poller.register(fd, select.POLLIN | select.POLLHUP)
        start = time.monotonic()
        taken = 0
        last = time.time()
        while True:
            events = poller.poll(5)
            if any(e & select.POLLHUP for _, e in events):
                break
            allowed = int((time.monotonic() - start) * rate_bytes) - taken
            if allowed > 0 and events:
                try:
                    got = os.read(fd, allowed)
                except BlockingIOError:
                    got = b"x"
                if not got:
                    break
                taken += len(got)
                last = time.time()
            else:
                time.sleep(0.005)
        note("play", "last", last)
        note("play", "stop")
        os.close(fd)


threading.Thread(target=feed, daemon=True).start()
threading.Thread(target=drain, daemon=True).start()
while True:
    time.sleep(3600)
